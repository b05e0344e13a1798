#include "camrec/recorder_options.h"

#include <string_view>

std::unique_ptr<cli::CommandLine> RecorderCommandLine(RecorderOptions& options) {
  auto line = std::make_unique<cli::CommandLine>(
      "camrec",
      "Records the JPEG stream of a camera server into an MJPEG AVI file, a raw\n"
      "MJPEG stream or numbered JPEG files. Stops after --frames or --seconds, or on\n"
      "Ctrl-C; the output is always completed. An AVI file keeps time at --rate:\n"
      "frames missing from the stream repeat the previous one. An existing output is\n"
      "refused unless -y is given.\n\n"
      "    camrec --format mjpeg -o - | ffplay -f mjpeg -",
      "Exit status: 0 when the recording ended as asked, 1 on a refusal, a connection\n"
      "or output error, or a stream that ended early; 2 for bad options.");
  auto& app = line->Options();
  app.add_option("--host", options.host, "server to connect to (default 127.0.0.1)")->type_name("NAME");
  cli::AddPortOption(app, options.port, "server port (default 6022)");
  cli::AddCameraOption(app, options.stream.camera, "camera index 0 to 8 (default 0)");
  cli::AddSizeOption(
      app, "-s,--size", [&options](int index) { options.stream.sizeIndex = index; },
      "640x480 or 320x240 (default 320x240)");
  app.add_option("--rate", options.stream.frameRate, "frames per second asked of the server, 1 to 30\n(default 25)")
      ->type_name("N")
      ->check(CLI::Range(1, static_cast<int>(stream_protocol::kMaxFrameRate)));
  app.add_option("-n,--frames", options.limits.frames, "stop after N frames")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  cli::AddSecondsOption(app, "-t,--seconds", options.limits.duration, "stop after SECONDS");
  app.add_option("-o,--output", options.aviPath,
                 "file to write (default camrec.avi); with --format mjpeg,\n\"-\" is standard output")
      ->type_name("FILE");
  app.add_option_function<std::string>(
         "-f,--format", [&options](const std::string& format) { options.mjpeg = format == "mjpeg"; },
         "avi (default): an MJPEG AVI file at --rate frames per\nsecond; mjpeg: the JPEG images back to back, as for\n"
         "ffplay -f mjpeg")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"avi", "mjpeg"}));
  app.add_flag("-y,--overwrite", options.overwrite, "replace an existing output (else it is refused)");
  app.add_option("--jpeg-dir", options.jpegFolder, "write frame-000001.jpg ... into DIR instead of an\nAVI file")
      ->type_name("DIR");
  cli::AddSecondsOption(app, "--connect-timeout", options.connectRetry,
                        "keep retrying a refused connection for\nSECONDS");
  app.add_flag("-q,--quiet", options.quiet, "no progress line");
  app.final_callback([&options] {
    if (options.aviPath == "-" && !options.mjpeg) {
      throw CLI::ValidationError("--output", "\"-\" (standard output) takes --format mjpeg: an AVI file must seek");
    }
  });
  return line;
}

ImageSize SizeOfIndex(int32_t sizeIndex) { return sizeIndex == 0 ? ImageSize{640, 480} : ImageSize{320, 240}; }
