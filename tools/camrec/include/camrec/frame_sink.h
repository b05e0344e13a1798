// Where the recorder puts the JPEG images it receives.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "stream_protocol/jpeg_image_size.h"

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // False with `error` set when the image could not be stored.
  virtual bool Write(std::span<const uint8_t> image, std::string& error) = 0;
  // Completes the output (indexes, counters); false with `error` set on failure.
  virtual bool Finish(std::string& error) = 0;
  // The file or folder written, for messages.
  virtual std::string Destination() const = 0;
};

// An MJPEG AVI file at `framesPerSecond`; its frame size is taken from the first image
// (`fallbackSize` when that has none, or when no image comes at all).
std::unique_ptr<FrameSink> MakeAviSink(const std::string& path, int framesPerSecond, ImageSize fallbackSize,
                                       std::string& error);

// Numbered files frame-000001.jpg, frame-000002.jpg ... in `folder` (created if missing).
std::unique_ptr<FrameSink> MakeJpegFilesSink(const std::string& folder, std::string& error);
