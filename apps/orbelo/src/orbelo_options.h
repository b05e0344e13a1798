// Command-line options of orbelo. Each one only changes a start-up default; without
// options the dialog behaves as it always has.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

struct OrbeloOptions {
  // --save-dir DIR: folder of the saved pictures, ending in '/'; empty: the current folder.
  std::string saveDirectory;
  // --depth 16|24|32 instead of the display's depth.
  std::optional<unsigned> depth;
};

enum class OrbeloCommand { kRun, kHelp, kError };

// Parses argv[1..]. kError sets `error` to a one-line reason.
OrbeloCommand ParseOrbeloOptions(int argc, char** argv, OrbeloOptions& options, std::string& error);

void PrintOrbeloUsage(std::FILE* out);
