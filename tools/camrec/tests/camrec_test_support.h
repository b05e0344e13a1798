// The recorder's tests: a camera server process to record from, the recorder as a
// process, and readers of what it writes (libavformat, libjpeg-turbo).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "server_process.h"

inline constexpr milliseconds kStartTime{20000};
inline constexpr milliseconds kRunTime{30000};

struct AviContents {
  bool opened = false;
  AVCodecID codec = AV_CODEC_ID_NONE;
  int width = 0;
  int height = 0;
  double framesPerSecond = 0;
  int packets = 0;
  bool packetsAreJpeg = true;
};

AviContents ReadAvi(const std::string& path);

// libjpeg-turbo decodes the file as a picture of width x height.
bool DecodesAs(const std::filesystem::path& file, int width, int height);

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file);

// A small baseline JPEG image (libjpeg-turbo), as a camera would send it.
std::vector<uint8_t> EncodeTestJpeg(int width, int height);

// A server on a free port of 127.0.0.1 and a folder of the test's own.
class RecorderAgainstServer : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The recorder on the server's port, quiet, retrying the connection for a while.
  std::unique_ptr<ChildProcess> Recorder(std::vector<std::string> arguments);
  std::string Avi() const { return (folder_ / "recording.avi").string(); }

  std::filesystem::path folder_;
  uint16_t port_ = 0;
  std::unique_ptr<ServerProcess> server_;
};
