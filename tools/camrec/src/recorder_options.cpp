#include "recorder_options.h"

#include <charconv>
#include <string_view>

namespace {

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
  return failure == std::errc() && end == text.data() + text.size();
}

bool ParseSeconds(std::string_view text, std::chrono::milliseconds& duration) {
  double seconds = 0;
  if (!ParseNumber(text, seconds) || !(seconds > 0) || seconds > 1e7) return false;
  duration = std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000.0 + 0.5));
  return true;
}

// Applies one option with its value; an empty result means it was accepted.
std::string ApplyOption(std::string_view option, const std::string& value, RecorderOptions& options) {
  if (option == "--host") {
    options.host = value;
  } else if (option == "--port") {
    unsigned port = 0;
    if (!ParseNumber(value, port) || port == 0 || port > 65535) return "--port wants a number from 1 to 65535";
    options.port = static_cast<uint16_t>(port);
  } else if (option == "--camera") {
    if (!ParseNumber(value, options.stream.camera) || options.stream.camera < 0 || options.stream.camera > 8) {
      return "--camera wants an index from 0 to 8";
    }
  } else if (option == "--size") {
    if (value == "640x480") {
      options.stream.sizeIndex = 0;
    } else if (value == "320x240") {
      options.stream.sizeIndex = 1;
    } else {
      return "--size wants 640x480 or 320x240";
    }
  } else if (option == "--rate") {
    if (!ParseNumber(value, options.stream.frameRate) || options.stream.frameRate < 1 ||
        options.stream.frameRate > stream_protocol::kMaxFrameRate) {
      return "--rate wants frames per second from 1 to 30";
    }
  } else if (option == "--frames") {
    uint64_t frames = 0;
    if (!ParseNumber(value, frames) || frames == 0) return "--frames wants a positive count";
    options.limits.frames = frames;
  } else if (option == "--seconds") {
    std::chrono::milliseconds duration{};
    if (!ParseSeconds(value, duration)) return "--seconds wants a positive number of seconds";
    options.limits.duration = duration;
  } else if (option == "--output") {
    options.aviPath = value;
  } else if (option == "--jpeg-dir") {
    options.jpegFolder = value;
  } else if (option == "--connect-timeout") {
    if (!ParseSeconds(value, options.connectRetry)) return "--connect-timeout wants a positive number of seconds";
  } else {
    return "unknown option '" + std::string(option) + "'";
  }
  return {};
}

}  // namespace

RecorderCommand ParseRecorderOptions(int argc, char** argv, RecorderOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view option = argv[i];
    if (option == "-h" || option == "--help") return RecorderCommand::kHelp;
    if (option == "-q" || option == "--quiet") {
      options.quiet = true;
      continue;
    }
    if (option == "-o") option = "--output";
    if (option == "-n") option = "--frames";
    if (option == "-t") option = "--seconds";
    std::string value;
    if (const size_t equals = option.find('='); option.starts_with("--") && equals != std::string_view::npos) {
      value = option.substr(equals + 1);
      option = option.substr(0, equals);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      error = std::string(option) + " needs a value";
      return RecorderCommand::kError;
    }
    error = ApplyOption(option, value, options);
    if (!error.empty()) return RecorderCommand::kError;
  }
  return RecorderCommand::kRecord;
}

void PrintRecorderUsage(std::FILE* stream) {
  std::fputs(
      "Usage: camrec [options]\n"
      "Records the JPEG stream of a camera server into an MJPEG AVI file or into\n"
      "numbered JPEG files. Stops after --frames or --seconds, or on Ctrl-C; the\n"
      "output is always completed.\n"
      "\n"
      "  --host NAME             server to connect to (default 127.0.0.1)\n"
      "  --port N                server port (default 6022)\n"
      "  --camera N              camera index 0 to 8 (default 0)\n"
      "  --size WxH              640x480 or 320x240 (default 320x240)\n"
      "  --rate N                frames per second asked of the server, 1 to 30 (default 25)\n"
      "  -n, --frames N          stop after N frames\n"
      "  -t, --seconds S         stop after S seconds\n"
      "  -o, --output FILE       AVI file to write (default camrec.avi)\n"
      "  --jpeg-dir DIR          write frame-000001.jpg ... into DIR instead of an AVI file\n"
      "  --connect-timeout S     keep retrying a refused connection for S seconds\n"
      "  -q, --quiet             no progress line\n"
      "  -h, --help              show this help\n"
      "\n"
      "Exit status: 0 when the recording ended as asked, 1 on a refusal, a connection\n"
      "or output error, or a stream that ended early; 2 for bad options.\n",
      stream);
}

ImageSize SizeOfIndex(int32_t sizeIndex) { return sizeIndex == 0 ? ImageSize{640, 480} : ImageSize{320, 240}; }
