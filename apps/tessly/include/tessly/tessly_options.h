// Command-line options of tessly. Each one only changes a start-up default; without
// options the dialog behaves as it always has.
#pragma once

#include <memory>
#include <string>

#include "cli/command_line.h"

struct TesslyOptions {
  // --camera N: the camera index, 0 (VLM1:) to 8 (VLM9:).
  int camera = 0;
  // --save-dir DIR: folder of the snapshots, ending in '/'; empty: the program's folder.
  std::string saveDirectory;
};

// tessly's command line; parsing it fills `options`.
std::unique_ptr<cli::CommandLine> TesslyCommandLine(TesslyOptions& options);
