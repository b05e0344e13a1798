// Command-line options of tessly. Each one only changes a start-up default; without
// options the dialog behaves as it always has.
#pragma once

#include <cstdio>
#include <string>

struct TesslyOptions {
  // --camera N: the camera index, 0 (VLM1:) to 8 (VLM9:).
  int camera = 0;
  // --save-dir DIR: folder of the snapshots, ending in '/'; empty: the program's folder.
  std::string saveDirectory;
};

enum class TesslyCommand { kRun, kHelp, kError };

// Parses argv[1..]. kError sets `error` to a one-line reason.
TesslyCommand ParseTesslyOptions(int argc, char** argv, TesslyOptions& options, std::string& error);

void PrintTesslyUsage(std::FILE* out);
