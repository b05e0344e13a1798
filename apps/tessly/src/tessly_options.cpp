#include "tessly/tessly_options.h"

#include "appcommon/program_directory.h"

std::unique_ptr<cli::CommandLine> TesslyCommandLine(TesslyOptions& options) {
  auto line = std::make_unique<cli::CommandLine>(
      "tessly",
      "Streams a camera as JPEG at 320x240; each press of \"Action\" saves its newest\n"
      "frame as a snapshot named by the date and time.",
      cli::kCamerasNote);
  auto& app = line->Options();
  cli::AddCameraOption(app, options.camera, "use camera N, 0 (VLM1:) to 8 (VLM9:) (default: 0)");
  cli::AddFolderOption(app, "--save-dir", options.saveDirectory,
                       std::string("save snapshots in DIR (default: ") + kPictureFolderNote + ")");
  return line;
}
