#include "orbelo/orbelo_options.h"

std::unique_ptr<cli::CommandLine> OrbeloCommandLine(OrbeloOptions& options) {
  auto line = std::make_unique<cli::CommandLine>(
      "orbelo",
      "Previews a camera at 320x240 in a dialog and saves JPEG and BMP pictures named\n"
      "by the tick count.",
      "Cameras come from VELMAR_DEVICES (default: one emulated camera).");
  auto& app = line->Options();
  app.add_option("--save-dir", options.saveDirectory, "save pictures in DIR (default: the current folder)")
      ->type_name("DIR")
      ->transform(cli::Folder());
  app.add_option("--depth", options.depth, "use this pixel depth instead of the display's")
      ->type_name("16|24|32")
      ->check(CLI::IsMember({16u, 24u, 32u}));
  return line;
}
