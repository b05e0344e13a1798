#include "camsnap/snapshot_options.h"

std::unique_ptr<cli::CommandLine> SnapshotCommandLine(SnapshotOptions& options) {
  auto line = std::make_unique<cli::CommandLine>(
      "camsnap",
      "Takes JPEG snapshots straight from a camera (no server needed): the camera's\n"
      "own JPEG images, byte for byte. PATTERN takes strftime fields (%Y, %H, ...) and\n"
      "%n, the picture's number from 1; an existing file is never replaced without -y.\n\n"
      "    camsnap -r 640x480 --skip 10 -o garden-%Y%m%d-%H%M%S.jpg\n"
      "    camsnap --count 60 --interval 60 -o timelapse-%n.jpg\n"
      "    camsnap -o - > now.jpg",
      "Exit status: 0 when every picture was saved, 1 on a failure (no camera, a refused\n"
      "setting, a file that cannot be written, no frame in time, the camera gone), 2 for\n"
      "bad options.\n" +
          std::string(cli::kCamerasNote));
  auto& app = line->Options();
  cli::AddCameraOption(app, options.camera, "camera N, 0 (VLM1:) to 8 (VLM9:) (default 0)");
  cli::AddSizeOption(
      app, "-r,--size", [&options](int index) { options.sizeIndex = static_cast<uint32_t>(index); },
      "640x480 or 320x240 (default 320x240)");
  app.add_option("--skip", options.skip, "let N frames go by first (the exposure settles)")
      ->type_name("N")
      ->check(CLI::Range(0u, 10000u));
  cli::AddSecondsOption(app, "--delay", options.delay, "wait this long before the first picture",
                        cli::Seconds::kZeroAllowed);
  app.add_option("--count", options.count, "take N pictures (default 1)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1000000u));
  cli::AddSecondsOption(app, "--interval", options.interval, "between the pictures of --count (default 1)",
                        cli::Seconds::kZeroAllowed);
  app.add_option_function<std::string>(
         "--light-mode",
         [&options](const std::string& mode) {
           options.lightMode = mode == "50hz" ? 0u : mode == "outdoor" ? 2u : static_cast<uint32_t>(std::stoul(mode));
         },
         "50hz or outdoor (or the driver's number 0 to 2)")
      ->type_name("MODE")
      ->check(CLI::IsMember({"50hz", "outdoor", "0", "1", "2"}));
  app.add_option("--exposure", options.exposure, "0 automatic, 1 to 100 a manual level")
      ->type_name("0..100")
      ->check(CLI::Range(0u, 100u));
  app.add_option("-o,--output", options.pattern,
                 "where to save (default snapshot-%Y%m%d-%H%M%S.jpg);\n\"-\" writes one picture to standard output")
      ->type_name("PATTERN");
  app.add_flag("--list", options.list, "list the cameras found and end");
  app.add_flag("-y,--overwrite", options.overwrite, "replace existing files");
  app.final_callback([&options] {
    if (options.pattern == "-" && options.count != 1) {
      throw CLI::ValidationError(
          "--output", "\"-\" (standard output) takes one picture, not --count " + std::to_string(options.count));
    }
    if (options.pattern.empty()) throw CLI::ValidationError("--output", "the pattern is empty");
  });
  return line;
}
