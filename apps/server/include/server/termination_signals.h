// SIGINT and SIGTERM end the server like the command q. They are blocked in every thread
// (call this before any thread starts) and read from a descriptor by the console loop.
#pragma once

// The signalfd descriptor, or -1 when it cannot be made.
int BlockTerminationSignals();
