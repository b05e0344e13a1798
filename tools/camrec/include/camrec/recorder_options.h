// Command line of the recorder.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/command_line.h"

#include "recorder.h"
#include "stream_protocol/stream_protocol.h"

struct RecorderOptions {
  std::string host = "127.0.0.1";
  uint16_t port = stream_protocol::kDefaultPort;
  stream_protocol::StreamParameters stream;  // camera 0, 320 x 240, JPEG, 25 per second
  RecordingLimits limits;
  std::string aviPath = "camrec.avi";  // the output file; "-": standard output (mjpeg only)
  bool mjpeg = false;                  // --format mjpeg: the raw JPEG stream, not an AVI file
  std::string jpegFolder;              // set: numbered JPEG files instead of an AVI file
  bool overwrite = false;              // -y: an existing output may be replaced
  std::chrono::milliseconds connectRetry{0};
  bool quiet = false;
};

// camrec's command line; parsing it fills `options`.
std::unique_ptr<cli::CommandLine> RecorderCommandLine(RecorderOptions& options);

// Width and height of a size index (0: 640 x 480, 1: 320 x 240).
ImageSize SizeOfIndex(int32_t sizeIndex);
