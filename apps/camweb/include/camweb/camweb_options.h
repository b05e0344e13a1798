// Command line of camweb: --port, --bind, --auth.
#pragma once

#include <memory>

#include "cli/command_line.h"
#include "camweb/web_server.h"

std::unique_ptr<cli::CommandLine> CamwebCommandLine(WebOptions& options);
