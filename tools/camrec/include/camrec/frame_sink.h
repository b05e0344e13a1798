// Where the recorder puts the JPEG images it receives. Every sink is made before the
// stream is asked for, so that an output that cannot be written is known first, and it
// never replaces an existing output unless told to.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "stream_protocol/jpeg_image_size.h"

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Stores one image. The frames now in the output for it (a sink that keeps time may
  // store repeats before it, or leave it out), or -1 with `error` set when it could not
  // be stored: the output then ends with the frames stored whole before.
  virtual int Write(std::span<const uint8_t> image, std::string& error) = 0;
  // Called while no image comes, and before Finish: frames a sink that keeps time
  // stores for the periods gone by (0 for the others), or -1 with `error` set.
  virtual int KeepTime(std::string&) { return 0; }
  // Completes the output (indexes, counters); false with `error` set on failure.
  virtual bool Finish(std::string& error) = 0;
  // Removes what the sink made, when no stream came to fill it.
  virtual void Abandon() = 0;
  // The file or folder written, for messages.
  virtual std::string Destination() const = 0;
};

struct SinkSettings {
  bool overwrite = false;              // -y: an existing output may be replaced
  std::optional<uint64_t> frameLimit;  // never more frames than this
};

// An MJPEG AVI file at `framesPerSecond` that keeps time with the clock: the previous
// image is repeated for periods without a new one, and images that come faster than
// the rate are left out. Its frame size is taken from the first image (`fallbackSize`
// when that has none, or when no image comes at all).
std::unique_ptr<FrameSink> MakeAviSink(const std::string& path, int framesPerSecond, ImageSize fallbackSize,
                                       const SinkSettings& settings, std::string& error);

// The images back to back, as the server sends them (an MJPEG stream for ffplay -f
// mjpeg), into a file or, for "-", standard output.
std::unique_ptr<FrameSink> MakeMjpegSink(const std::string& path, const SinkSettings& settings, std::string& error);

// Numbered files frame-000001.jpg, frame-000002.jpg ... in `folder` (created if missing).
// A folder that holds such files already is refused; with `overwrite` they are removed
// first, so that the sequence is never a mix of two recordings.
std::unique_ptr<FrameSink> MakeJpegFilesSink(const std::string& folder, const SinkSettings& settings,
                                             std::string& error);
