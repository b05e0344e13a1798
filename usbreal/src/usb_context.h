// The process's one libusb context and the one thread that runs its events: transfer
// completions and hot-plug notices of every device arrive there.
#pragma once

#include <libusb.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace usbreal {

class UsbContext {
 public:
  // The context in use, or a new one when none is; null with `error` set when libusb
  // cannot start. It lives as long as someone holds it (devices, the hot-plug watcher).
  static std::shared_ptr<UsbContext> Get(std::string& error);
  ~UsbContext();
  UsbContext(const UsbContext&) = delete;
  UsbContext& operator=(const UsbContext&) = delete;

  libusb_context* get() const { return context_; }

 private:
  explicit UsbContext(libusb_context* context);
  void RunEvents();

  libusb_context* const context_;
  std::atomic<bool> stopping_{false};
  std::thread events_;
};

}  // namespace usbreal
