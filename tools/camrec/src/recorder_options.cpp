#include "camrec/recorder_options.h"

#include <charconv>
#include <string_view>

namespace {

// A positive number of seconds, kept as milliseconds (in a duration or an optional one).
template <typename Duration>
CLI::Option* AddSeconds(CLI::App& app, const std::string& names, Duration& target, const std::string& description) {
  return app
      .add_option_function<double>(
          names,
          [&target](double seconds) {
            target = std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000.0 + 0.5));
          },
          description)
      ->type_name("S")
      ->check(CLI::Validator(
          [](const std::string& text) -> std::string {
            double seconds = 0;
            const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), seconds);
            if (failure == std::errc() && end == text.data() + text.size() && seconds > 0 && seconds <= 1e7) return {};
            return "wants a positive number of seconds, not '" + text + "'";
          },
          ""));
}

}  // namespace

std::unique_ptr<cli::CommandLine> RecorderCommandLine(RecorderOptions& options) {
  auto line = std::make_unique<cli::CommandLine>(
      "camrec",
      "Records the JPEG stream of a camera server into an MJPEG AVI file or into\n"
      "numbered JPEG files. Stops after --frames or --seconds, or on Ctrl-C; the\n"
      "output is always completed.",
      "Exit status: 0 when the recording ended as asked, 1 on a refusal, a connection\n"
      "or output error, or a stream that ended early; 2 for bad options.");
  auto& app = line->Options();
  app.add_option("--host", options.host, "server to connect to (default 127.0.0.1)")->type_name("NAME");
  app.add_option("-p,--port", options.port, "server port (default 6022)")->type_name("N")->check(CLI::Range(1, 65535));
  app.add_option("-d,--camera", options.stream.camera, "camera index 0 to 8 (default 0)")
      ->type_name("N")
      ->check(cli::CameraIndex());
  app.add_option_function<std::string>(
         "-s,--size", [&options](const std::string& size) { options.stream.sizeIndex = size == "640x480" ? 0 : 1; },
         "640x480 or 320x240 (default 320x240)")
      ->type_name("WxH")
      ->check(CLI::IsMember({"640x480", "320x240"}));
  app.add_option("--rate", options.stream.frameRate, "frames per second asked of the server, 1 to 30\n(default 25)")
      ->type_name("N")
      ->check(CLI::Range(1, static_cast<int>(stream_protocol::kMaxFrameRate)));
  app.add_option("-n,--frames", options.limits.frames, "stop after N frames")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  AddSeconds(app, "-t,--seconds", options.limits.duration, "stop after S seconds");
  app.add_option("-o,--output", options.aviPath, "AVI file to write (default camrec.avi)")->type_name("FILE");
  app.add_option("--jpeg-dir", options.jpegFolder, "write frame-000001.jpg ... into DIR instead of an\nAVI file")
      ->type_name("DIR");
  AddSeconds(app, "--connect-timeout", options.connectRetry, "keep retrying a refused connection for S\nseconds");
  app.add_flag("-q,--quiet", options.quiet, "no progress line");
  return line;
}

ImageSize SizeOfIndex(int32_t sizeIndex) { return sizeIndex == 0 ? ImageSize{640, 480} : ImageSize{320, 240}; }
