// A scriptable device for the host's tests: it answers control transfers at once, later
// (from a thread of the test's choosing) or never, streams packets of chosen lengths,
// and records what the host asked of it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "usbhost/usbhost.h"

namespace usbtest {

enum class ControlAnswer { AtOnce, WhenReleased, Never };

// Vendor `vendor`, interface 0 with setting 0 (no endpoints) and setting 1 (an
// isochronous IN endpoint 0x81 of 512 bytes and a bulk OUT endpoint 0x02).
usbhost::DeviceModel CameraLikeModel(WORD vendor);

class TestBackend : public usbhost::DeviceBackend {
 public:
  explicit TestBackend(usbhost::DeviceModel model) : model_(std::move(model)) {}

  // ---- script
  void SetControlAnswer(ControlAnswer answer) { answer_ = answer; }
  void SetControlError(DWORD usbError) { controlError_ = usbError; }
  // Per-packet lengths the device delivers (packet i gets lengths[i % size], capped).
  void SetPacketLengths(std::vector<DWORD> lengths);
  void ThrowInNextIsoch() { throwInIsoch_ = true; }
  // Isochronous transfers wait for the unplug, like a stream that never delivers.
  void BlockIsochUntilUnplug() { blockIsoch_ = true; }
  // Waits (at most 5 s) until a transfer is blocked inside IsochIn.
  bool WaitForBlockedIsoch();

  // Answers the transfer held back by WhenReleased (or Never, to model a device that
  // ignores a cancel). False if none is held.
  bool AnswerHeldTransfer();

  // ---- what the host did
  std::vector<USB_DEVICE_REQUEST> Requests() const;
  int CancelCount() const { return cancels_; }
  bool Disconnected() const { return disconnected_; }
  std::vector<std::pair<uint8_t, uint8_t>> SelectedSettings() const;
  bool HoldsTransfer() const;

  // ---- DeviceBackend
  usbhost::DeviceModel Describe() const override { return model_; }
  void SubmitControl(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data,
                     usbhost::ControlCompletion complete) override;
  void CancelControl() override;
  bool SelectAlternateSetting(uint8_t interfaceNumber, uint8_t alternateSetting) override;
  bool IsochIn(uint8_t endpointAddress, std::span<const DWORD> requestedLengths, uint8_t* buffer,
               std::span<DWORD> actualLengths) override;
  void Disconnect() override;

 private:
  struct Held {
    USB_DEVICE_REQUEST setup;
    std::span<uint8_t> data;
    usbhost::ControlCompletion complete;
  };
  // Fills the data stage of a read with bytes derived from the request and completes.
  void Answer(Held& held) const;

  const usbhost::DeviceModel model_;
  std::atomic<ControlAnswer> answer_{ControlAnswer::AtOnce};
  std::atomic<DWORD> controlError_{USB_NO_ERROR};
  std::atomic<bool> throwInIsoch_{false};
  std::atomic<bool> blockIsoch_{false};
  std::atomic<int> cancels_{0};
  std::atomic<bool> disconnected_{false};

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool isochBlocked_ = false;
  std::vector<USB_DEVICE_REQUEST> requests_;
  std::vector<std::pair<uint8_t, uint8_t>> selected_;
  std::vector<DWORD> packetLengths_{512};
  std::vector<Held> held_;       // waiting for AnswerHeldTransfer
  std::vector<Held> cancelled_;  // kept to answer after a cancel, as a faulty device would
};

// The byte a read of `setup` returns at offset i.
uint8_t AnswerByte(const USB_DEVICE_REQUEST& setup, size_t i);

// The byte packet `packet` carries at offset i.
uint8_t PacketByte(size_t packet, size_t i);

}  // namespace usbtest
