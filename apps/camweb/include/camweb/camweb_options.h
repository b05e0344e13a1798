// Command line of camweb: --port, --bind, --auth.
#pragma once

#include <memory>

#include "camweb/web_server.h"
#include "cli/command_line.h"

std::unique_ptr<cli::CommandLine> CamwebCommandLine(WebOptions& options);
