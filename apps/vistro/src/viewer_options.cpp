#include "viewer_options.h"

#include <string_view>

#include "recording_files.h"

namespace {

bool TakeValue(int argc, char** argv, int& i, std::string_view option, std::string& value, std::string& error) {
  if (i + 1 >= argc) {
    error = std::string(option) + " needs a value";
    return false;
  }
  value = argv[++i];
  return true;
}

}  // namespace

OptionsOutcome ParseViewerOptions(int argc, char** argv, ViewerOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    std::string value;
    if (option == "--help" || option == "-h") return OptionsOutcome::kHelp;
    if (option == "--fullscreen") {
      options.fullScreen = true;
    } else if (option == "--record") {
      if (!TakeValue(argc, argv, i, option, value, error)) return OptionsOutcome::kError;
      if (RecordingFiles::CaptureFilePathFor(value).empty()) {
        error = "--record: the file name is empty or too long (at most " +
                std::to_string(RecordingFiles::kCaptureFilePathBytes - 1) + " bytes with \".avi\")";
        return OptionsOutcome::kError;
      }
      options.recordFile = value;
    } else if (option == "--size") {
      if (!TakeValue(argc, argv, i, option, value, error)) return OptionsOutcome::kError;
      if (value != "320x240" && value != "640x480") {
        error = "--size must be 320x240 or 640x480";
        return OptionsOutcome::kError;
      }
      options.large = value == "640x480";
    } else if (option == "--snapshot-dir") {
      if (!TakeValue(argc, argv, i, option, value, error)) return OptionsOutcome::kError;
      if (value.empty()) {
        error = "--snapshot-dir needs a folder";
        return OptionsOutcome::kError;
      }
      if (value.back() != '/') value += '/';
      options.snapshotDirectory = value;
    } else if (option == "--depth") {
      if (!TakeValue(argc, argv, i, option, value, error)) return OptionsOutcome::kError;
      if (value != "16" && value != "24" && value != "32") {
        error = "--depth must be 16, 24 or 32";
        return OptionsOutcome::kError;
      }
      options.depth = static_cast<uint32_t>(std::stoul(value));
    } else {
      error = "unknown option " + std::string(option);
      return OptionsOutcome::kError;
    }
  }
  return OptionsOutcome::kRun;
}

void PrintViewerUsage(std::FILE* out) {
  std::fputs(
      "Usage: vistro [options]\n"
      "Shows the first camera full screen, takes snapshots and records AVI files.\n"
      "\n"
      "  --record FILE        record every run, starting with FILE (\".avi\" is added\n"
      "                       when missing; later runs get FILE-2.avi, FILE-3.avi...)\n"
      "  --size WxH           start at 320x240 (default) or 640x480\n"
      "  --fullscreen         start in full screen (a left click leaves it)\n"
      "  --snapshot-dir DIR   save snapshots in DIR (default: the program's folder)\n"
      "  --depth 16|24|32     use this pixel depth instead of the display's\n"
      "  --help               show this text\n"
      "\n"
      "Cameras come from VELMAR_DEVICES (default: one emulated camera).\n",
      out);
}
