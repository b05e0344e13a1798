#include "vistro/viewer_options.h"

#include "appcommon/program_directory.h"
#include "vistro/recording_files.h"

namespace {

CLI::Validator CaptureFileName() {
  return CLI::Validator(
      [](const std::string& value) -> std::string {
        if (!RecordingFiles::CaptureFilePathFor(value).empty()) return {};
        return "the file name is empty or too long (at most " +
               std::to_string(RecordingFiles::kCaptureFilePathBytes - 1) + " bytes with \".avi\")";
      },
      "");
}

}  // namespace

std::unique_ptr<cli::CommandLine> ViewerCommandLine(ViewerOptions& options) {
  auto line = std::make_unique<cli::CommandLine>(
      "vistro", "Shows the first camera full screen, takes snapshots and records AVI files.", cli::kCamerasNote);
  auto& app = line->Options();
  app.add_option("-r,--record", options.recordFile,
                 "record every run, starting with FILE (\".avi\" is added\n"
                 "when missing; later runs get FILE-2.avi, FILE-3.avi...);\n"
                 "an existing FILE is replaced only when you say so")
      ->type_name("FILE")
      ->check(CaptureFileName());
  app.add_option_function<std::string>(
         "-s,--size", [&options](const std::string& size) { options.large = size == "640x480"; },
         "start at 320x240 (default) or 640x480")
      ->type_name("WxH")
      ->check(CLI::IsMember({"320x240", "640x480"}));
  app.add_flag("-f,--fullscreen", options.fullScreen, "start in full screen (a left click leaves it)");
  cli::AddFolderOption(app, "--snapshot-dir", options.snapshotDirectory,
                       std::string("save snapshots in DIR (default: ") + kPictureFolderNote + ")");
  cli::AddDepthOption(app, options.depth);
  return line;
}
