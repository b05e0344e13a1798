// Command line of the server: --port, --bind.
#pragma once

#include <memory>

#include "cli/command_line.h"
#include "server/server_state.h"

// The server's command line; parsing it fills the port and bind address of `state`.
std::unique_ptr<cli::CommandLine> ServerCommandLine(ServerState& state);
