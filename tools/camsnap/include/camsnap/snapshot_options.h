// Command line of camsnap.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/command_line.h"

struct SnapshotOptions {
  int camera = 0;
  uint32_t sizeIndex = 1;  // 0: 640 x 480, 1: 320 x 240
  unsigned skip = 0;       // frames let go by before the first picture (the exposure settles)
  std::chrono::milliseconds delay{0};
  unsigned count = 1;
  std::chrono::milliseconds interval{1000};
  std::optional<uint32_t> lightMode;                   // 0: 50 Hz, 2: outdoor
  std::optional<uint32_t> exposure;                    // 0: automatic, 1 to 100: manual
  std::string pattern = "snapshot-%Y%m%d-%H%M%S.jpg";  // "-": standard output
  bool list = false;
  bool overwrite = false;
};

// camsnap's command line; parsing it fills `options`.
std::unique_ptr<cli::CommandLine> SnapshotCommandLine(SnapshotOptions& options);
