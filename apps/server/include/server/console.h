// The console thread: the start lines, then single-character commands (h, q).
#pragma once

#include "server_state.h"

void PrintBanner();

// Reads commands from standard input until q or a termination signal arrives on
// `signalFd`; either sets the quit flag. End of input only stops the reading: the
// server keeps serving, so it runs fine in the background. When the server cannot
// listen, the console goes on if standard input is a terminal (someone reads the
// message and types q); otherwise nobody would, and it ends at once.
void RunConsole(ServerState& state, int signalFd);
