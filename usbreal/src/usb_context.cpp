#include "usb_context.h"

#include <mutex>

namespace usbreal {

std::shared_ptr<UsbContext> UsbContext::Get(std::string& error) {
  static std::mutex mutex;
  static std::weak_ptr<UsbContext> current;
  std::lock_guard lock(mutex);
  if (auto context = current.lock()) return context;
  libusb_context* context = nullptr;
  if (const int result = libusb_init(&context); result != LIBUSB_SUCCESS) {
    error = std::string("libusb cannot start: ") + libusb_strerror(result);
    return nullptr;
  }
  std::shared_ptr<UsbContext> made(new UsbContext(context));
  current = made;
  return made;
}

UsbContext::UsbContext(libusb_context* context) : context_(context), events_([this] { RunEvents(); }) {}

UsbContext::~UsbContext() {
  stopping_ = true;
  libusb_interrupt_event_handler(context_);
  events_.join();
  libusb_exit(context_);
}

void UsbContext::RunEvents() {
  while (!stopping_) {
    // The time-out only bounds how late a stop is noticed if an interrupt is lost.
    timeval limit{0, 200 * 1000};
    libusb_handle_events_timeout_completed(context_, &limit, nullptr);
  }
}

}  // namespace usbreal
