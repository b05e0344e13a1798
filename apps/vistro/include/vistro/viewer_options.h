// Command-line options of vistro. Each one only changes a start-up default; without
// options the viewer behaves as it always has.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/command_line.h"

struct ViewerOptions {
  std::string recordFile;         // --record FILE: capture file chosen at start-up
  bool large = false;             // --size 640x480 (default 320x240)
  bool fullScreen = false;        // --fullscreen
  std::string snapshotDirectory;  // --snapshot-dir DIR; empty: the program's folder
  std::optional<unsigned> depth;  // --depth 16|24|32 instead of the display's depth
};

// vistro's command line; parsing it fills `options`.
std::unique_ptr<cli::CommandLine> ViewerCommandLine(ViewerOptions& options);
