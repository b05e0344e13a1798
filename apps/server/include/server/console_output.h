// Console messages of the server: written at once, so that a log read through a pipe
// shows each line as it happens.
#pragma once

void ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
