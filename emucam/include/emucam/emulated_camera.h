// The emulated camera: a USB device backend that behaves like the camera's controller
// chip with its image sensor. It answers the vendor register requests, streams JPEG
// scan data on its isochronous endpoint, logs every setup packet, and takes faults on
// demand so that tests can see the driver cope with a misbehaving device.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "emucam/camera_options.h"
#include "emucam/request_log.h"
#include "emucam/sensor_profile.h"
#include "usbhost/usbhost.h"

namespace emucam {

class Controller;
class FrameSource;
class ScanEncoder;
class PacketStream;
class PacketScript;

// Thrown out of IsochIn when that fault is set.
class IsochTransferFault : public std::runtime_error {
 public:
  IsochTransferFault() : std::runtime_error("emulated camera: fault inside the isochronous transfer") {}
};

enum class StallMode {
  Once,    // the next request to the register stalls, later ones are answered
  Always,  // every request to the register stalls until ClearStalls
};

class EmulatedCamera final : public usbhost::DeviceBackend {
 public:
  // Null with `error` set when the sensor name is unknown or the image file unreadable.
  static std::shared_ptr<EmulatedCamera> Create(CameraOptions options, std::string& error);
  // The same from configuration text ("sensor=12,timing=fast").
  static std::shared_ptr<EmulatedCamera> Create(std::string_view optionsText, std::string& error);
  ~EmulatedCamera() override;

  // usbhost::DeviceBackend
  usbhost::DeviceModel Describe() const override;
  void SubmitControl(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data,
                     usbhost::ControlCompletion complete) override;
  bool SelectAlternateSetting(uint8_t interfaceNumber, uint8_t alternateSetting) override;
  bool IsochIn(uint8_t endpointAddress, std::span<const DWORD> requestedLengths, uint8_t* buffer,
               std::span<DWORD> actualLengths) override;
  void Disconnect() override;  // the unplug: blocked calls return, later ones fail

  // Faults, at any time from any thread.
  void SetAnswering(bool answering);  // false: control requests are never completed
  void StallRegister(uint16_t registerNumber, StallMode mode);
  void ClearStalls();
  void SetFrameFault(FrameFault fault);       // applies from the next frame on
  void ThrowInIsochTransfers(int transfers);  // the next n transfers throw; -1: all of them

  // Timing and frame rate; a change of timing restarts the stream at a frame start.
  void SetTiming(Timing timing);
  void SetScript(std::vector<std::vector<uint8_t>> packets);  // also selects scripted timing
  void SetFramesPerSecond(unsigned framesPerSecond);          // 0: back to back

  std::vector<LoggedRequest> RequestLog() const;
  void ClearRequestLog();

  const SensorProfile& sensorProfile() const { return profile_; }
  uint8_t alternateSetting() const;
  uint32_t framesSent() const { return framesSent_.load(); }
  bool disconnected() const { return disconnected_.load(); }

 private:
  EmulatedCamera(CameraOptions options, const SensorProfile& profile, std::unique_ptr<FrameSource> source);

  struct ControlResult {
    bool stalled = false;
    DWORD bytes = 0;
  };
  ControlResult HandleVendor(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data);
  ControlResult HandleStandard(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data);
  bool TakeStall(uint16_t registerNumber);
  bool SelectSettingLocked(uint8_t interfaceNumber, uint8_t alternateSetting);
  void Log(const USB_DEVICE_REQUEST& setup, RequestOutcome outcome);
  void MakeFrame(std::vector<uint8_t>& frame);
  int64_t NowUs() const;

  const CameraOptions options_;
  const SensorProfile& profile_;
  const usbhost::DeviceModel model_;

  // Lock order: streamMutex_ before stateMutex_.
  mutable std::mutex stateMutex_;
  std::unique_ptr<Controller> controller_;
  std::map<uint16_t, StallMode> stalls_;
  std::deque<LoggedRequest> log_;
  uint8_t alternateSetting_ = 0;
  bool restartPending_ = false;  // a new setting was selected since the last transfer
  bool answering_ = true;
  FrameFault frameFault_;

  std::mutex streamMutex_;
  std::condition_variable streamWake_;
  std::unique_ptr<FrameSource> source_;
  std::unique_ptr<ScanEncoder> encoder_;
  std::unique_ptr<PacketStream> stream_;
  std::unique_ptr<PacketScript> script_;
  Timing timing_;
  int64_t nextSlotUs_ = 0;  // bus time of the next USB frame
  int throwTransfers_ = 0;

  std::atomic<unsigned> framesPerSecond_;
  std::atomic<uint32_t> framesSent_{0};
  std::atomic<bool> disconnected_{false};
  const std::chrono::steady_clock::time_point epoch_;
};

}  // namespace emucam
