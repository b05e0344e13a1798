// Command-line options of orbelo. Each one only changes a start-up default; without
// options the dialog behaves as it always has.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/command_line.h"

struct OrbeloOptions {
  // --save-dir DIR: folder of the saved pictures, ending in '/'; empty: the current folder.
  std::string saveDirectory;
  // --depth 16|24|32 instead of the display's depth.
  std::optional<unsigned> depth;
};

// orbelo's command line; parsing it fills `options`.
std::unique_ptr<cli::CommandLine> OrbeloCommandLine(OrbeloOptions& options);
