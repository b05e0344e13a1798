// One camera as the web interface shares it: a worker thread that makes every client
// library call for the camera's index (the library keeps one handle per index and the
// driver wants its requests from one thread), runs one capture for all viewers and
// publishes each new JPEG frame. Capture starts when someone wants frames and stops a
// while after the last one leaves; a camera whose requests fail as "gone" is closed and
// tried again until it is plugged back.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camweb/camera_settings.h"

using SteadyClock = std::chrono::steady_clock;

struct Frame {
  std::vector<uint8_t> jpeg;
  FrameSize size;
  uint64_t sequence = 0;
  SteadyClock::time_point captured;
};

enum class CameraState { kAbsent, kIdle, kCapturing, kGone };
const char* CameraStateName(CameraState state);

struct CameraStatus {
  CameraState state = CameraState::kAbsent;
  std::string driverVersion;
  CameraSettings settings;
  double capturedFps = 0;
  uint64_t framesCaptured = 0;
  uint64_t captureStarts = 0;
};

// The answer to a settings change: 200 with the settings now in force, or a 4xx/503
// status with the reason.
struct ChangeOutcome {
  int status = 200;
  std::string reason;
  CameraSettings settings;
};

struct ChannelTiming {
  std::chrono::milliseconds linger{3000};      // capture kept this long after the last user
  std::chrono::milliseconds framePoll{4};      // between reads while no new frame is there
  std::chrono::milliseconds staleProbe{1000};  // without frames this long, check the camera
  std::chrono::milliseconds reopenPoll{500};   // a gone camera is looked for this often
};

class CameraChannel {
 public:
  // Both are called on the worker thread: each new frame, and the camera going away.
  struct Listener {
    std::function<void(std::shared_ptr<const Frame>)> frame;
    std::function<void()> gone;
  };

  CameraChannel(int index, Listener listener, ChannelTiming timing = {});
  CameraChannel(const CameraChannel&) = delete;
  CameraChannel& operator=(const CameraChannel&) = delete;
  ~CameraChannel();

  // How many want frames now, and at which size; 0 lets the capture stop after the linger.
  void SetDemand(int users, FrameSize size);
  // Applies the change through the driver, restarting capture where the driver needs it
  // stopped; `done` runs on the worker thread.
  void Change(const SettingsChange& change, std::function<void(ChangeOutcome)> done);
  CameraStatus Status() const;

 private:
  struct PendingChange {
    SettingsChange change;
    std::function<void(ChangeOutcome)> done;
  };

  void Run();
  void RunChanges(std::deque<PendingChange> changes);
  ChangeOutcome ApplyChange(const SettingsChange& change);
  bool EnsureOpen();
  bool StartWith(const CameraSettings& settings, std::string& reason);
  void StopAndClose();
  void ReadOneFrame();
  void MarkGone();
  bool Wanted(SteadyClock::time_point now) const;

  const int index_;
  const Listener listener_;
  const ChannelTiming timing_;

  mutable std::mutex mutex_;  // guards what the other threads see and hand over
  std::condition_variable wake_;
  bool quit_ = false;
  int users_ = 0;
  FrameSize wantedSize_ = kLargeFrame;
  SteadyClock::time_point lingerUntil_{};
  std::deque<PendingChange> changes_;
  CameraStatus status_;

  // The worker's own.
  bool open_ = false;
  bool capturing_ = false;
  uint64_t sequence_ = 0;
  SteadyClock::time_point nextOpenTry_{};
  std::deque<SteadyClock::time_point> recentFrames_;
  std::vector<uint8_t> buffer_;
  std::thread worker_;
};
