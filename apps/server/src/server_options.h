// Command line of the server: --port, --bind, --help.
#pragma once

#include <cstdio>
#include <string>

#include "server_state.h"

enum class OptionsOutcome { kRun, kHelp, kError };

// Fills the port and bind address of `state`; on kError `error` says what is wrong.
OptionsOutcome ParseServerOptions(int argc, char** argv, ServerState& state, std::string& error);

void PrintServerUsage(std::FILE* stream);
