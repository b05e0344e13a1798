#include "test_backend.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace usbtest {

usbhost::DeviceModel CameraLikeModel(WORD vendor) {
  usbhost::DeviceModel model{};
  model.device = {18, USB_DEVICE_DESCRIPTOR_TYPE, 0x0200, 0xFF, 0, 0, 64, vendor, 0x0001, 0x0100, 0, 0, 0, 1};
  model.configuration = {9, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 1, 1, 0, 0x80, 250};
  model.interfaces.push_back({{9, USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0, 0, 0xFF, 0, 0, 0}, {}});
  model.interfaces.push_back({{9, USB_INTERFACE_DESCRIPTOR_TYPE, 0, 1, 2, 0xFF, 0, 0, 0},
                              {{7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x81, USB_ENDPOINT_TYPE_ISOCHRONOUS, 512, 1},
                               {7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x02, 0x02, 64, 0}}});
  return model;
}

uint8_t AnswerByte(const USB_DEVICE_REQUEST& setup, size_t i) { return static_cast<uint8_t>(setup.bRequest + i); }

uint8_t PacketByte(size_t packet, size_t i) { return static_cast<uint8_t>(0x40 * (packet + 1) + i); }

void TestBackend::SetPacketLengths(std::vector<DWORD> lengths) {
  std::lock_guard lock(mutex_);
  packetLengths_ = std::move(lengths);
}

void TestBackend::Answer(Held& held) const {
  if (held.setup.bmRequestType & 0x80) {
    for (size_t i = 0; i < held.data.size(); ++i) held.data[i] = AnswerByte(held.setup, i);
  }
  held.complete(controlError_, static_cast<DWORD>(held.data.size()));
}

void TestBackend::SubmitControl(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data,
                                usbhost::ControlCompletion complete) {
  Held held{setup, data, std::move(complete)};
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(setup);
    if (answer_ != ControlAnswer::AtOnce || disconnected_) {
      // A device that is gone or slow keeps the transfer until it is cancelled.
      held_.push_back(std::move(held));
      return;
    }
  }
  Answer(held);
}

void TestBackend::CancelControl() {
  ++cancels_;
  std::lock_guard lock(mutex_);
  for (auto& held : held_) cancelled_.push_back(std::move(held));
  held_.clear();
}

bool TestBackend::AnswerHeldTransfer() {
  Held held;
  {
    std::lock_guard lock(mutex_);
    auto& source = held_.empty() ? cancelled_ : held_;
    if (source.empty()) return false;
    held = std::move(source.front());
    source.erase(source.begin());
  }
  Answer(held);
  return true;
}

bool TestBackend::HoldsTransfer() const {
  std::lock_guard lock(mutex_);
  return !held_.empty();
}

std::vector<USB_DEVICE_REQUEST> TestBackend::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::pair<uint8_t, uint8_t>> TestBackend::SelectedSettings() const {
  std::lock_guard lock(mutex_);
  return selected_;
}

bool TestBackend::SelectAlternateSetting(uint8_t interfaceNumber, uint8_t alternateSetting) {
  if (disconnected_) return false;
  std::lock_guard lock(mutex_);
  selected_.emplace_back(interfaceNumber, alternateSetting);
  return true;
}

bool TestBackend::IsochIn(uint8_t /*endpointAddress*/, std::span<const DWORD> requestedLengths, uint8_t* buffer,
                          std::span<DWORD> actualLengths) {
  if (disconnected_) return false;
  if (throwInIsoch_.exchange(false)) throw std::runtime_error("device fault inside the transfer");
  std::unique_lock lock(mutex_);
  if (blockIsoch_) {
    isochBlocked_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return disconnected_.load(); });
    return false;
  }
  size_t offset = 0;
  for (size_t packet = 0; packet < requestedLengths.size(); ++packet) {
    const DWORD length = std::min(requestedLengths[packet], packetLengths_[packet % packetLengths_.size()]);
    for (size_t i = 0; i < length; ++i) buffer[offset + i] = PacketByte(packet, i);
    actualLengths[packet] = length;
    offset += requestedLengths[packet];
  }
  return true;
}

void TestBackend::Disconnect() {
  {
    std::lock_guard lock(mutex_);
    disconnected_ = true;
  }
  changed_.notify_all();
}

bool TestBackend::WaitForBlockedIsoch() {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(5), [this] { return isochBlocked_; });
}

}  // namespace usbtest
