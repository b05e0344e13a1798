// The default pipe of one device: vendor transfers go to the backend one at a time, in
// the order they were issued, as on a real control endpoint. Received data pass through
// a buffer owned by the request, so a transfer the client has closed (or a device that
// answers late) never writes into the client's memory.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "transfer.h"
#include "usbhost/usbhost.h"

namespace usbhost {

class ControlQueue : public std::enable_shared_from_this<ControlQueue> {
 public:
  explicit ControlQueue(std::shared_ptr<DeviceBackend> backend) : backend_(std::move(backend)) {}

  // Queues a transfer whose data stage is `buffer` (wLength bytes); false once the device
  // is gone. The transfer completes through its routine when the device answers.
  bool Submit(const std::shared_ptr<Transfer>& transfer, const USB_DEVICE_REQUEST& setup, LPVOID buffer);

  // Takes a closed transfer out: dropped if it still waits, cancelled at the backend if it
  // is the one in flight.
  void Withdraw(const std::shared_ptr<Transfer>& transfer);

  // The device is gone: the transfer in flight is cancelled and it and every waiting one
  // complete with USB_DEVICE_NOT_RESPONDING_ERROR; later submissions are refused.
  void Abort();

 private:
  struct Request {
    std::shared_ptr<Transfer> transfer;
    USB_DEVICE_REQUEST setup;
    std::vector<uint8_t> stage;
    LPVOID clientBuffer;
  };

  void Pump();
  void OnComplete(const std::shared_ptr<Request>& request, DWORD usbError, DWORD bytesTransferred);
  static void Finish(Request& request, DWORD usbError, DWORD bytesTransferred);
  // Waits until the backend has seen the request in flight, so a cancel cannot overtake it.
  void WaitUntilSubmitted(std::unique_lock<std::mutex>& lock);
  // Cancels the request in flight at the backend and empties the slot.
  void CancelInFlight();

  const std::shared_ptr<DeviceBackend> backend_;
  std::mutex mutex_;
  std::condition_variable submitted_;
  std::deque<std::shared_ptr<Request>> waiting_;
  std::shared_ptr<Request> active_;
  const Request* submitting_ = nullptr;  // active_ while its SubmitControl call runs
  bool cancelling_ = false;
  bool disconnected_ = false;
};

}  // namespace usbhost
