// The isochronous IN stream of one opened device. The first read starts a small ring of
// transfers of the requested packet lengths; each read waits for the oldest, copies its
// packets out and sends it again, so the bus is never left idle between two reads and
// nothing is allocated per read.
#pragma once

#include <libusb.h>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "platform/wintypes.h"

namespace usbreal {

class IsoStream {
 public:
  explicit IsoStream(libusb_device_handle* handle) : handle_(handle) {}
  ~IsoStream();
  IsoStream(const IsoStream&) = delete;
  IsoStream& operator=(const IsoStream&) = delete;

  // As usbhost::DeviceBackend::IsochIn. False once the device is gone or closed, or when
  // the transfers cannot be started; a transfer that libusb reports failed gives empty
  // packets.
  bool Read(uint8_t endpoint, std::span<const DWORD> lengths, uint8_t* buffer, std::span<DWORD> actualLengths);
  // Ends the ring (a new alternate setting, a cleared halt): the next read starts afresh.
  void Stop();
  // Stop for good: a read blocked now returns false at once, later reads fail.
  void Close();

  // Transfers sent ahead of the one a read waits for, beside it.
  static constexpr size_t kTransfersInFlight = 2;

 private:
  struct Slot {
    IsoStream* stream = nullptr;
    libusb_transfer* transfer = nullptr;
    std::vector<uint8_t> buffer;
    bool inFlight = false;
  };
  static void LIBUSB_CALL Done(libusb_transfer* transfer);
  bool StartLocked(uint8_t endpoint, std::span<const DWORD> lengths);
  void StopLocked(std::unique_lock<std::mutex>& lock);
  bool SendLocked(Slot& slot);
  void CopyPackets(const Slot& slot, uint8_t* buffer, std::span<DWORD> actualLengths) const;
  void FreeTransfers();

  libusb_device_handle* const handle_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<Slot, kTransfersInFlight> slots_;
  std::vector<DWORD> lengths_;  // of the ring's packets
  uint8_t endpoint_ = 0;
  size_t next_ = 0;  // the slot the next read waits for
  bool running_ = false;
  bool closed_ = false;
  bool gone_ = false;  // libusb said the device is gone
};

}  // namespace usbreal
