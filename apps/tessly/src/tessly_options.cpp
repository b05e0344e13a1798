#include "tessly_options.h"

#include <string_view>

#include "camclient.h"

TesslyCommand ParseTesslyOptions(int argc, char** argv, TesslyOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--help" || option == "-h") return TesslyCommand::kHelp;
    if (option != "--save-dir" && option != "--camera") {
      error = "unknown option " + std::string(option);
      return TesslyCommand::kError;
    }
    if (i + 1 >= argc) {
      error = std::string(option) + " needs a value";
      return TesslyCommand::kError;
    }
    const std::string value = argv[++i];
    if (option == "--save-dir") {
      if (value.empty()) {
        error = "--save-dir needs a folder";
        return TesslyCommand::kError;
      }
      options.saveDirectory = value.back() == '/' ? value : value + '/';
    } else {
      if (value.size() != 1 || value[0] < '0' || value[0] >= '0' + kCameraSlots) {
        error = "--camera must be a number from 0 to " + std::to_string(kCameraSlots - 1);
        return TesslyCommand::kError;
      }
      options.camera = value[0] - '0';
    }
  }
  return TesslyCommand::kRun;
}

void PrintTesslyUsage(std::FILE* out) {
  std::fputs(
      "Usage: tessly [options]\n"
      "Streams a camera as JPEG at 320x240; each press of \"Action\" saves its newest\n"
      "frame as a snapshot named by the date and time.\n"
      "\n"
      "  --camera N         use camera N, 0 (VLM1:) to 8 (VLM9:) (default: 0)\n"
      "  --save-dir DIR     save snapshots in DIR (default: the program's folder)\n"
      "  --help             show this text\n"
      "\n"
      "Cameras come from VELMAR_DEVICES (default: one emulated camera).\n",
      out);
}
