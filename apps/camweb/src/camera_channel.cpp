#include "camweb/camera_channel.h"

#include <pthread.h>

#include <algorithm>
#include <array>

#include "camclient/camclient.h"
#include "velmar/vlm_ioctl.h"

namespace {

constexpr auto kFpsWindow = std::chrono::seconds(2);

// The driver's version text is UTF-16; its characters are ASCII.
std::string ReadVersion(int index) {
  std::array<char16_t, VLM_VERSION_BYTES / 2> text{};
  if (GetDriverVersion(index, text.data(), VLM_VERSION_BYTES) < 0) return {};
  std::string version;
  for (const char16_t c : text) {
    if (c == 0) break;
    version += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return version;
}

}  // namespace

const char* CameraStateName(CameraState state) {
  switch (state) {
    case CameraState::kAbsent: return "absent";
    case CameraState::kIdle: return "idle";
    case CameraState::kCapturing: return "capturing";
    case CameraState::kGone: return "gone";
  }
  return "absent";
}

CameraChannel::CameraChannel(int index, Listener listener, ChannelTiming timing)
    : index_(index), listener_(std::move(listener)), timing_(timing), buffer_(VLM_MAX_JPEG_BYTES) {
  // First sight of the camera, before the worker owns its handle: its version and
  // whether it is there at all, so that the camera list is right from the start.
  if (EnsureOpen()) StopAndClose();
  worker_ = std::thread([this] {
    // Named, so that a profile or /proc tells the camera's time from the network's.
    pthread_setname_np(pthread_self(), ("camweb-cam" + std::to_string(index_)).c_str());
    Run();
  });
}

CameraChannel::~CameraChannel() {
  {
    const std::lock_guard hold(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

void CameraChannel::SetDemand(int users, FrameSize size) {
  {
    const std::lock_guard hold(mutex_);
    // Viewers of a camera that went away do not keep a re-plugged one capturing.
    if (users == 0 && users_ > 0 && status_.state != CameraState::kGone) {
      lingerUntil_ = SteadyClock::now() + timing_.linger;
    }
    users_ = users;
    if (users > 0) wantedSize_ = size;
  }
  wake_.notify_all();
}

void CameraChannel::Change(const SettingsChange& change, std::function<void(ChangeOutcome)> done) {
  {
    const std::lock_guard hold(mutex_);
    changes_.push_back({change, std::move(done)});
  }
  wake_.notify_all();
}

CameraStatus CameraChannel::Status() const {
  const std::lock_guard hold(mutex_);
  CameraStatus status = status_;
  // A rate from frames that stopped coming would linger on.
  if (status.state != CameraState::kCapturing) status.capturedFps = 0;
  return status;
}

bool CameraChannel::Wanted(SteadyClock::time_point now) const { return users_ > 0 || now < lingerUntil_; }

void CameraChannel::Run() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (!changes_.empty()) {
      std::deque<PendingChange> changes;
      changes.swap(changes_);
      lock.unlock();
      RunChanges(std::move(changes));
      lock.lock();
      continue;
    }
    const auto now = SteadyClock::now();
    const bool wanted = Wanted(now);
    const FrameSize size = wantedSize_;
    CameraSettings settings = status_.settings;
    const CameraState state = status_.state;
    lock.unlock();

    if (open_ && !wanted) {
      StopAndClose();
    } else if (capturing_ && settings.size != size) {
      StopCapture(index_);
      capturing_ = false;
    }
    if (wanted && !capturing_ && now >= nextOpenTry_) {
      settings.size = size;
      std::string reason;
      if (!EnsureOpen() || !StartWith(settings, reason)) MarkGone();
    } else if (!wanted && state == CameraState::kGone && now >= nextOpenTry_) {
      // Looked for again so that the camera list shows it back once it is re-plugged.
      if (EnsureOpen()) StopAndClose();
      nextOpenTry_ = now + timing_.reopenPoll;
    }
    if (capturing_) ReadOneFrame();

    lock.lock();
    if (quit_ || !changes_.empty()) continue;
    wake_.wait_for(lock, capturing_ ? timing_.framePoll : timing_.reopenPoll);
  }
  lock.unlock();
  StopAndClose();
}

void CameraChannel::RunChanges(std::deque<PendingChange> changes) {
  for (auto& pending : changes) {
    ChangeOutcome outcome = ApplyChange(pending.change);
    pending.done(std::move(outcome));
  }
}

ChangeOutcome CameraChannel::ApplyChange(const SettingsChange& change) {
  CameraSettings current;
  {
    const std::lock_guard hold(mutex_);
    current = status_.settings;
  }
  const CameraSettings next = change.AppliedTo(current);
  if (!EnsureOpen()) {
    MarkGone();
    return {503, "camera " + std::to_string(index_) + " is not there", current};
  }
  // Size, light mode and bandwidth are taken only while capture is stopped.
  const bool restart =
      next.size != current.size || next.lightMode != current.lightMode || next.bandwidth != current.bandwidth;
  CameraSettings accepted = current;
  if (restart) {
    const bool wasCapturing = capturing_;
    if (capturing_) StopCapture(index_);
    capturing_ = false;
    std::string reason;
    if (!StartWith(next, reason)) {
      std::string ignored;
      StopCapture(index_);
      capturing_ = false;
      if (wasCapturing && !StartWith(current, ignored)) MarkGone();
      return {422, reason, current};
    }
    accepted = next;
    accepted.exposure = current.exposure;
    {
      const std::lock_guard hold(mutex_);
      status_.settings = accepted;
      wantedSize_ = accepted.size;
      lingerUntil_ = std::max(lingerUntil_, SteadyClock::now() + timing_.linger);
    }
  }
  if (change.exposure) {
    const Exposure exposure = *change.exposure;
    if (SetExposure(index_, exposure.automatic ? 1 : 0, static_cast<DWORD>(exposure.level)) != kCameraOk) {
      return {422, "the driver refused the exposure", accepted};
    }
    accepted.exposure = exposure;
    const std::lock_guard hold(mutex_);
    status_.settings.exposure = exposure;
  }
  return {200, {}, accepted};
}

bool CameraChannel::EnsureOpen() {
  if (open_) return true;
  if (OpenCamera(index_) < 0) return false;
  open_ = true;
  const std::string version = ReadVersion(index_);
  const std::lock_guard hold(mutex_);
  status_.driverVersion = version;
  status_.state = CameraState::kIdle;
  return true;
}

bool CameraChannel::StartWith(const CameraSettings& settings, std::string& reason) {
  if (SetVideoFormat(index_, VLM_FORMAT_JPEG, SizeIndex(settings.size)) != kCameraOk) {
    reason = "the driver refused size " + FormatFrameSize(settings.size);
  } else if (SetLightMode(index_, static_cast<DWORD>(settings.lightMode)) != kCameraOk) {
    reason = "the driver refused light mode " + std::to_string(settings.lightMode);
  } else if (SetBandwidth(index_, static_cast<DWORD>(settings.bandwidth)) != kCameraOk) {
    reason = "the driver refused bandwidth " + std::to_string(settings.bandwidth);
  } else if (StartCapture(index_) != kCameraOk) {
    reason = "the camera did not start with light mode " + std::to_string(settings.lightMode) + " and bandwidth " +
             std::to_string(settings.bandwidth);
  } else {
    // Each start sends the sensor's tables again, which bring back automatic exposure.
    if (!settings.exposure.automatic) SetExposure(index_, 0, static_cast<DWORD>(settings.exposure.level));
    capturing_ = true;
    const std::lock_guard hold(mutex_);
    status_.settings.size = settings.size;
    status_.state = CameraState::kCapturing;
    ++status_.captureStarts;
    return true;
  }
  return false;
}

void CameraChannel::StopAndClose() {
  if (!open_) return;
  if (capturing_) StopCapture(index_);
  CloseCamera(index_);
  open_ = capturing_ = false;
  const std::lock_guard hold(mutex_);
  if (status_.state == CameraState::kCapturing) status_.state = CameraState::kIdle;
}

void CameraChannel::ReadOneFrame() {
  const int bytes = ReadFrame(index_, buffer_.data(), static_cast<DWORD>(buffer_.size()));
  const auto now = SteadyClock::now();
  if (bytes > 0) {
    auto frame = std::make_shared<Frame>();
    frame->jpeg.assign(buffer_.begin(), buffer_.begin() + bytes);
    frame->sequence = ++sequence_;
    frame->captured = now;
    recentFrames_.push_back(now);
    while (recentFrames_.front() < now - kFpsWindow) recentFrames_.pop_front();
    {
      const std::lock_guard hold(mutex_);
      frame->size = status_.settings.size;
      ++status_.framesCaptured;
      const auto span = std::chrono::duration<double>(recentFrames_.back() - recentFrames_.front()).count();
      status_.capturedFps = span > 0 ? static_cast<double>(recentFrames_.size() - 1) / span : 0;
    }
    listener_.frame(std::move(frame));
    return;
  }
  // 0 is "no new frame yet"; the read call fails once the camera has been unplugged.
  if (bytes == kCameraCallFailed) MarkGone();
}

void CameraChannel::MarkGone() {
  if (capturing_) StopCapture(index_);
  if (open_) CloseCamera(index_);
  open_ = capturing_ = false;
  recentFrames_.clear();
  nextOpenTry_ = SteadyClock::now() + timing_.reopenPoll;
  {
    const std::lock_guard hold(mutex_);
    lingerUntil_ = {};
    if (status_.state != CameraState::kAbsent) status_.state = CameraState::kGone;
  }
  listener_.gone();
}
