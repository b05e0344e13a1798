#include "emucam/emulated_camera.h"

#include <algorithm>
#include <cstring>

#include "camera_frame.h"
#include "controller.h"
#include "descriptors.h"
#include "emucam/scan_encoder.h"
#include "frame_source.h"
#include "image_file.h"
#include "packet_stream.h"

namespace emucam {
namespace {

constexpr size_t kMaxLoggedRequests = 1u << 18;
constexpr int64_t kUsbFrameUs = 1000;  // full speed: one isochronous packet per 1 ms frame

constexpr uint8_t kDirectionIn = 0x80;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kTypeVendor = 0x40;
constexpr uint8_t kGetStatus = 0x00;

int64_t FramePeriodUs(unsigned framesPerSecond) {
  return framesPerSecond == 0 ? 0 : 1000000 / static_cast<int64_t>(framesPerSecond);
}

}  // namespace

std::shared_ptr<EmulatedCamera> EmulatedCamera::Create(CameraOptions options, std::string& error) {
  const SensorProfile* profile = FindSensorProfile(options.sensor);
  if (profile == nullptr) {
    error = "emu: unknown sensor profile '" + options.sensor + "' (known: " + SensorProfileNames() + ")";
    return nullptr;
  }
  std::optional<RgbImage> still;
  if (!options.imageFile.empty()) {
    still = LoadImageFile(options.imageFile, error);
    if (!still) return nullptr;
  }
  return std::shared_ptr<EmulatedCamera>(
      new EmulatedCamera(std::move(options), *profile, std::make_unique<FrameSource>(std::move(still))));
}

std::shared_ptr<EmulatedCamera> EmulatedCamera::Create(std::string_view optionsText, std::string& error) {
  std::optional<CameraOptions> options = ParseCameraOptions(optionsText, error);
  if (!options) return nullptr;
  return Create(std::move(*options), error);
}

EmulatedCamera::EmulatedCamera(CameraOptions options, const SensorProfile& profile, std::unique_ptr<FrameSource> source)
    : options_(std::move(options)),
      profile_(profile),
      model_(BuildDeviceModel(options_)),
      controller_(std::make_unique<Controller>(profile, options_.controllerId.value_or(profile.controllerId))),
      frameFault_(options_.frameFault),
      source_(std::move(source)),
      encoder_(std::make_unique<ScanEncoder>()),
      stream_(std::make_unique<PacketStream>([this](std::vector<uint8_t>& frame) { MakeFrame(frame); })),
      script_(std::make_unique<PacketScript>()),
      timing_(options_.timing),
      throwTransfers_(options_.transfersThrow ? -1 : 0),
      framesPerSecond_(options_.framesPerSecond),
      epoch_(std::chrono::steady_clock::now()) {
  script_->Load(options_.script);
}

EmulatedCamera::~EmulatedCamera() = default;

usbhost::DeviceModel EmulatedCamera::Describe() const { return model_; }

int64_t EmulatedCamera::NowUs() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - epoch_).count();
}

// ---- control pipe ----

void EmulatedCamera::SubmitControl(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data,
                                   usbhost::ControlCompletion complete) {
  DWORD usbError = USB_NO_ERROR;
  DWORD bytes = 0;
  {
    std::lock_guard lock(stateMutex_);
    if (disconnected_) {
      Log(setup, RequestOutcome::Disconnected);
      usbError = USB_DEVICE_NOT_RESPONDING_ERROR;
    } else if (!answering_) {
      Log(setup, RequestOutcome::Ignored);
      return;  // the completion is dropped unused: it never runs
    } else {
      // Never look past the data stage the host gave us, whatever wLength says.
      data = data.first(std::min<size_t>(data.size(), setup.wLength));
      const ControlResult result = (setup.bmRequestType & kTypeMask) == kTypeVendor     ? HandleVendor(setup, data)
                                   : (setup.bmRequestType & kTypeMask) == kTypeStandard ? HandleStandard(setup, data)
                                                                                        : ControlResult{true, 0};
      Log(setup, result.stalled ? RequestOutcome::Stalled : RequestOutcome::Answered);
      usbError = result.stalled ? USB_STALL_ERROR : USB_NO_ERROR;
      bytes = result.bytes;
    }
  }
  complete(usbError, bytes);
}

// Register requests carry the register in wIndex. A read of any request number returns
// one byte, as the controller does; writes other than 0xA0 are taken and ignored.
EmulatedCamera::ControlResult EmulatedCamera::HandleVendor(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data) {
  const uint16_t registerNumber = setup.wIndex;
  const bool isRegisterRequest = setup.bRequest == kRegisterRead || setup.bRequest == kRegisterWrite;
  if (isRegisterRequest && registerNumber >= reg::kCount) return {true, 0};
  if (TakeStall(registerNumber)) return {true, 0};
  if (setup.bmRequestType & kDirectionIn) {
    if (data.empty()) return {false, 0};
    data[0] = setup.bRequest == kRegisterRead ? controller_->Read(registerNumber) : 0;
    return {false, 1};
  }
  if (setup.bRequest == kRegisterWrite) controller_->Write(registerNumber, static_cast<uint8_t>(setup.wValue));
  return {false, static_cast<DWORD>(data.size())};
}

EmulatedCamera::ControlResult EmulatedCamera::HandleStandard(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data) {
  if (setup.bRequest == kGetStatus && (setup.bmRequestType & kDirectionIn)) {
    const size_t n = std::min<size_t>(2, data.size());
    std::fill_n(data.begin(), n, 0);
    return {false, static_cast<DWORD>(n)};
  }
  if (setup.bRequest == kSetInterface && !(setup.bmRequestType & kDirectionIn)) {
    return {!SelectSettingLocked(static_cast<uint8_t>(setup.wIndex), static_cast<uint8_t>(setup.wValue)), 0};
  }
  return {true, 0};
}

bool EmulatedCamera::TakeStall(uint16_t registerNumber) {
  auto it = stalls_.find(registerNumber);
  if (it == stalls_.end()) return false;
  if (it->second == StallMode::Once) stalls_.erase(it);
  return true;
}

void EmulatedCamera::Log(const USB_DEVICE_REQUEST& setup, RequestOutcome outcome) {
  if (log_.size() >= kMaxLoggedRequests) log_.pop_front();
  log_.push_back({setup, outcome, NowUs()});
}

// ---- alternate settings ----

bool EmulatedCamera::SelectAlternateSetting(uint8_t interfaceNumber, uint8_t alternateSetting) {
  std::lock_guard lock(stateMutex_);
  const USB_DEVICE_REQUEST setup{0x01, kSetInterface, alternateSetting, interfaceNumber, 0};
  if (disconnected_ || !answering_) {
    Log(setup, disconnected_ ? RequestOutcome::Disconnected : RequestOutcome::Ignored);
    return false;
  }
  const bool selected = SelectSettingLocked(interfaceNumber, alternateSetting);
  Log(setup, selected ? RequestOutcome::Answered : RequestOutcome::Stalled);
  return selected;
}

// Caller holds stateMutex_. The stream restarts at the next transfer, under its own lock.
bool EmulatedCamera::SelectSettingLocked(uint8_t interfaceNumber, uint8_t alternateSetting) {
  const auto& refused = options_.refusedSettings;
  if (interfaceNumber != 0 || alternateSetting >= kAlternateSettings ||
      std::find(refused.begin(), refused.end(), alternateSetting) != refused.end()) {
    return false;
  }
  alternateSetting_ = alternateSetting;
  restartPending_ = true;
  return true;
}

uint8_t EmulatedCamera::alternateSetting() const {
  std::lock_guard lock(stateMutex_);
  return alternateSetting_;
}

// ---- isochronous stream ----

void EmulatedCamera::MakeFrame(std::vector<uint8_t>& frame) {
  PictureSettings picture{};
  FrameFault fault{};
  {
    std::lock_guard lock(stateMutex_);
    picture = controller_->Picture();
    fault = frameFault_;
  }
  const uint32_t number = framesSent_.load();
  encoder_->Encode(source_->Render(number, picture));
  BuildCameraFrame(encoder_->Scan(), {number, picture.width, picture.height, picture.gainPermille}, fault, frame);
  framesSent_.fetch_add(1);
}

bool EmulatedCamera::IsochIn(uint8_t endpointAddress, std::span<const DWORD> requestedLengths, uint8_t* buffer,
                             std::span<DWORD> actualLengths) {
  std::unique_lock streamLock(streamMutex_);
  std::fill(actualLengths.begin(), actualLengths.end(), 0);
  if (disconnected_) return false;
  if (throwTransfers_ != 0) {
    if (throwTransfers_ > 0) --throwTransfers_;
    throw IsochTransferFault();
  }
  if (buffer == nullptr || requestedLengths.size() != actualLengths.size()) return false;
  size_t maxPacket = 0;
  {
    std::lock_guard lock(stateMutex_);
    if (restartPending_) stream_->Restart();
    restartPending_ = false;
    for (const USB_ENDPOINT_DESCRIPTOR& endpoint : model_.interfaces[alternateSetting_].endpoints) {
      if (endpoint.bEndpointAddress == endpointAddress) maxPacket = endpoint.wMaxPacketSize;
    }
    // Setting 0 carries no bandwidth: nothing streams there, whatever its descriptors say.
    if (alternateSetting_ == 0) maxPacket = 0;
  }
  if (maxPacket == 0) return false;

  const int64_t start = timing_ == Timing::RealTime ? std::max(nextSlotUs_, NowUs()) : nextSlotUs_;
  const int64_t period = FramePeriodUs(framesPerSecond_.load());
  size_t offset = 0;
  for (size_t i = 0; i < requestedLengths.size(); ++i) {
    const size_t capacity = std::min<size_t>(requestedLengths[i], maxPacket);
    actualLengths[i] = static_cast<DWORD>(
        timing_ == Timing::Scripted
            ? script_->NextPacket(buffer + offset, capacity)
            : stream_->NextPacket(buffer + offset, capacity, start + static_cast<int64_t>(i) * kUsbFrameUs, period));
    offset += requestedLengths[i];
  }
  nextSlotUs_ = start + static_cast<int64_t>(requestedLengths.size()) * kUsbFrameUs;
  if (timing_ == Timing::RealTime) {
    streamWake_.wait_until(streamLock, epoch_ + std::chrono::microseconds(nextSlotUs_),
                           [this] { return disconnected_.load(); });
  }
  return !disconnected_;
}

void EmulatedCamera::Disconnect() {
  disconnected_ = true;
  std::lock_guard streamLock(streamMutex_);  // a waiter checks the flag under this lock
  streamWake_.notify_all();
}

// ---- faults and settings ----

void EmulatedCamera::SetAnswering(bool answering) {
  std::lock_guard lock(stateMutex_);
  answering_ = answering;
}

void EmulatedCamera::StallRegister(uint16_t registerNumber, StallMode mode) {
  std::lock_guard lock(stateMutex_);
  stalls_[registerNumber] = mode;
}

void EmulatedCamera::ClearStalls() {
  std::lock_guard lock(stateMutex_);
  stalls_.clear();
}

void EmulatedCamera::SetFrameFault(FrameFault fault) {
  std::lock_guard lock(stateMutex_);
  frameFault_ = fault;
}

void EmulatedCamera::ThrowInIsochTransfers(int transfers) {
  std::lock_guard streamLock(streamMutex_);
  throwTransfers_ = transfers;
}

void EmulatedCamera::SetTiming(Timing timing) {
  std::lock_guard streamLock(streamMutex_);
  timing_ = timing;
  nextSlotUs_ = NowUs();
  stream_->Restart();
}

void EmulatedCamera::SetScript(std::vector<std::vector<uint8_t>> packets) {
  std::lock_guard streamLock(streamMutex_);
  script_->Load(std::move(packets));
  timing_ = Timing::Scripted;
}

void EmulatedCamera::SetFramesPerSecond(unsigned framesPerSecond) { framesPerSecond_ = framesPerSecond; }

std::vector<LoggedRequest> EmulatedCamera::RequestLog() const {
  std::lock_guard lock(stateMutex_);
  return {log_.begin(), log_.end()};
}

void EmulatedCamera::ClearRequestLog() {
  std::lock_guard lock(stateMutex_);
  log_.clear();
}

}  // namespace emucam
