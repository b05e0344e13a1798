#include "orbelo_options.h"

#include <string_view>

OrbeloCommand ParseOrbeloOptions(int argc, char** argv, OrbeloOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--help" || option == "-h") return OrbeloCommand::kHelp;
    if (option != "--save-dir" && option != "--depth") {
      error = "unknown option " + std::string(option);
      return OrbeloCommand::kError;
    }
    if (i + 1 >= argc) {
      error = std::string(option) + " needs a value";
      return OrbeloCommand::kError;
    }
    const std::string value = argv[++i];
    if (option == "--save-dir") {
      if (value.empty()) {
        error = "--save-dir needs a folder";
        return OrbeloCommand::kError;
      }
      options.saveDirectory = value.back() == '/' ? value : value + '/';
    } else {
      if (value != "16" && value != "24" && value != "32") {
        error = "--depth must be 16, 24 or 32";
        return OrbeloCommand::kError;
      }
      options.depth = static_cast<unsigned>(std::stoul(value));
    }
  }
  return OrbeloCommand::kRun;
}

void PrintOrbeloUsage(std::FILE* out) {
  std::fputs(
      "Usage: orbelo [options]\n"
      "Previews a camera at 320x240 in a dialog and saves JPEG and BMP pictures named\n"
      "by the tick count.\n"
      "\n"
      "  --save-dir DIR     save pictures in DIR (default: the current folder)\n"
      "  --depth 16|24|32   use this pixel depth instead of the display's\n"
      "  --help             show this text\n"
      "\n"
      "Cameras come from VELMAR_DEVICES (default: one emulated camera).\n",
      out);
}
