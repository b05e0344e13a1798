// The AVI file of one recording run: one MJPG video stream at 25 frames per second,
// finished and closed when the run ends.
#pragma once

#include <cstdint>
#include <string>

struct AviWriter;

class RunRecording {
 public:
  static constexpr int kFramesPerSecond = 25;
  static constexpr int kBitRate = 512000;

  // Opens the file and writes its header for frames of width x height.
  RunRecording(const std::string& path, uint32_t width, uint32_t height);
  // Finishes the file (indexes and counters) and closes it.
  ~RunRecording();
  RunRecording(const RunRecording&) = delete;
  RunRecording& operator=(const RunRecording&) = delete;

  // The file is open, its stream declared and its header written; frames can follow.
  bool Ready() const { return ready_; }
  // Appends one JPEG image as a key frame. False when the writer refused it.
  bool Append(const uint8_t* jpeg, uint32_t length);

 private:
  AviWriter* writer_ = nullptr;
  int stream_ = -1;
  bool ready_ = false;
};
