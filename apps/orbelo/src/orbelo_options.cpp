#include "orbelo/orbelo_options.h"

std::unique_ptr<cli::CommandLine> OrbeloCommandLine(OrbeloOptions& options) {
  auto line = std::make_unique<cli::CommandLine>(
      "orbelo",
      "Previews a camera at 320x240 in a dialog and saves JPEG and BMP pictures named\n"
      "by the tick count.",
      cli::kCamerasNote);
  auto& app = line->Options();
  cli::AddFolderOption(app, "--save-dir", options.saveDirectory, "save pictures in DIR (default: the current folder)");
  cli::AddDepthOption(app, options.depth);
  return line;
}
