#include "control_channel.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "usb_errors.h"

namespace usbreal {

struct ControlChannel::Request {
  ControlChannel* channel;
  std::span<uint8_t> data;
  bool deviceToHost;
  usbhost::ControlCompletion complete;
  std::vector<uint8_t> buffer;  // setup packet, then the data stage
  libusb_transfer* transfer = nullptr;
};

void ControlChannel::Submit(const USB_DEVICE_REQUEST& setup, std::span<uint8_t> data,
                            usbhost::ControlCompletion complete) {
  std::lock_guard lock(mutex_);
  if (closed_) {
    complete(USB_DEVICE_NOT_RESPONDING_ERROR, 0);
    return;
  }
  auto* request = new Request{this, data.first(std::min<size_t>(data.size(), setup.wLength)),
                              (setup.bmRequestType & LIBUSB_ENDPOINT_IN) != 0, std::move(complete),
                              std::vector<uint8_t>(LIBUSB_CONTROL_SETUP_SIZE + setup.wLength)};
  libusb_fill_control_setup(request->buffer.data(), setup.bmRequestType, setup.bRequest, setup.wValue, setup.wIndex,
                            setup.wLength);
  if (!request->deviceToHost && !request->data.empty()) {
    std::memcpy(request->buffer.data() + LIBUSB_CONTROL_SETUP_SIZE, request->data.data(), request->data.size());
  }
  libusb_transfer* transfer = libusb_alloc_transfer(0);
  // No time-out of libusb's own: the host times requests out and cancels them.
  libusb_fill_control_transfer(transfer, handle_, request->buffer.data(), Done, request, 0);
  request->transfer = transfer;
  {
    std::lock_guard count(countMutex_);
    ++inFlight_;
  }
  active_ = request;
  if (const int result = libusb_submit_transfer(transfer); result != LIBUSB_SUCCESS) {
    active_ = nullptr;
    auto failed = std::move(request->complete);
    libusb_free_transfer(transfer);
    delete request;
    Ended();
    failed(UsbErrorOfSubmit(result), 0);
  }
}

void LIBUSB_CALL ControlChannel::Done(libusb_transfer* transfer) {
  auto* request = static_cast<Request*>(transfer->user_data);
  ControlChannel* channel = request->channel;
  {
    std::lock_guard lock(channel->mutex_);
    if (channel->active_ == request) {  // not given up meanwhile
      channel->active_ = nullptr;
      const DWORD moved = transfer->status == LIBUSB_TRANSFER_COMPLETED
                              ? std::min<DWORD>(static_cast<DWORD>(transfer->actual_length), request->data.size())
                              : 0;
      if (request->deviceToHost && moved > 0) {
        std::memcpy(request->data.data(), libusb_control_transfer_get_data(transfer), moved);
      }
      request->complete(UsbErrorOf(transfer->status), moved);
    }
  }
  libusb_free_transfer(transfer);
  delete request;
  channel->Ended();  // the last touch: Close may be waiting to let the channel go
}

void ControlChannel::Cancel() {
  std::lock_guard lock(mutex_);
  GiveUpActive();
}

void ControlChannel::GiveUpActive() {
  if (active_ == nullptr) return;
  // Done still runs for it and frees it, but no longer completes it.
  libusb_cancel_transfer(active_->transfer);
  active_ = nullptr;
}

void ControlChannel::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    GiveUpActive();
  }
  std::unique_lock count(countMutex_);
  allEnded_.wait(count, [this] { return inFlight_ == 0; });
}

void ControlChannel::Ended() {
  std::lock_guard count(countMutex_);
  if (--inFlight_ == 0) allEnded_.notify_all();
}

}  // namespace usbreal
