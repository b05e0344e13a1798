// Readers against the capture thread and a thread that stops and starts capture, for a
// bounded time; meant for the thread sanitizer, and every frame must still be whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "capture_test_support.h"

namespace {

using captest::Bytes;
using captest::CameraSession;

constexpr auto kStressTime = std::chrono::seconds(3);
constexpr int kMaxRestarts = 300;
constexpr DWORD kRgb24Qvga = 320 * 240 * 3;

bool EndsWithEndOfImage(const Bytes& jpeg, DWORD length) {
  const Bytes marker = {0xFF, 0xD9};
  const auto end = jpeg.begin() + length;
  return std::search(end - 16, end, marker.begin(), marker.end()) != end;
}

TEST(CaptureStressTest, ReadersStayConsistentWhileCaptureStopsAndStarts) {
  CameraSession session("sensor=2,timing=fast,fps=0");
  ASSERT_TRUE(session.Start());
  std::atomic<bool> running{true};
  std::atomic<int> framesRead{0};
  std::atomic<int> badFrames{0};
  std::atomic<int> jpegsRead{0};

  std::thread reader([&] {
    Bytes buffer(kRgb24Qvga);
    while (running) {
      const DWORD read = session.Read(buffer, kRgb24Qvga);
      if (read == kRgb24Qvga)
        ++framesRead;
      else if (read != 0)
        ++badFrames;
    }
  });
  std::thread jpegReader([&] {
    Bytes jpeg(40960);
    while (running) {
      DWORD size = 0;
      if (!session.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, &size) || size == 0) continue;
      const bool whole = jpeg[0] == 0xFF && jpeg[1] == 0xD8 && EndsWithEndOfImage(jpeg, size);
      if (whole)
        ++jpegsRead;
      else
        ++badFrames;
    }
  });

  int restarts = 0;
  const auto deadline = std::chrono::steady_clock::now() + kStressTime;
  while (std::chrono::steady_clock::now() < deadline && restarts < kMaxRestarts) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(session.Stop());
    EXPECT_TRUE(session.Start());
    ++restarts;
  }
  running = false;
  reader.join();
  jpegReader.join();
  EXPECT_TRUE(session.Stop());

  EXPECT_GT(restarts, 0);
  EXPECT_GT(framesRead + jpegsRead, 0);
  EXPECT_EQ(badFrames, 0);
}

}  // namespace
