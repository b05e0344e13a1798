// The default pipe of one opened device: control transfers run asynchronously and
// complete on libusb's event thread; one that the host gives up on is cancelled.
#pragma once

#include <libusb.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>

#include "usbhost/usbhost.h"

namespace usbreal {

class ControlChannel {
 public:
  explicit ControlChannel(libusb_device_handle* handle) : handle_(handle) {}
  ~ControlChannel() { Close(); }
  ControlChannel(const ControlChannel&) = delete;
  ControlChannel& operator=(const ControlChannel&) = delete;

  // As usbhost::DeviceBackend::SubmitControl; after Close every request fails at once.
  void Submit(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data, usbhost::ControlCompletion complete);
  // The request in flight is given up: once this returns its completion never runs and
  // its data stage is not touched again.
  void Cancel();
  // Refuses later requests, cancels the one in flight and waits until libusb has handed
  // back every transfer, so the handle can be closed.
  void Close();

 private:
  struct Request;
  static void LIBUSB_CALL Done(libusb_transfer* transfer);
  void GiveUpActive();  // under mutex_
  void Ended();

  libusb_device_handle* const handle_;
  // Held while a completion runs, so Cancel cannot return in the middle of one; recursive
  // because a completion may submit the next request.
  std::recursive_mutex mutex_;
  Request* active_ = nullptr;
  bool closed_ = false;

  std::mutex countMutex_;
  std::condition_variable allEnded_;
  int inFlight_ = 0;
};

}  // namespace usbreal
