#include "usbfs_handler.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace usbtestbed {
namespace {

constexpr size_t kSetupBytes = 8;

UMockdevIoctlData* Resolve(UMockdevIoctlData* data, size_t length) {
  return umockdev_ioctl_data_resolve(data, 0, length, nullptr);
}

}  // namespace

// One submitted URB, kept on this side until it is reaped: umockdev writes back only what
// is resolved within one ioctl, so the results go to the program's URB at the reap.
struct UsbfsHandler::Urb {
  gulong address = 0;  // of the usbdevfs_urb in the program
  unsigned char type = 0;
  unsigned char endpoint = 0;
  std::vector<uint8_t> data;  // the buffer: setup and data stage, or the packets
  std::vector<usbdevfs_iso_packet_desc> packets;
  int status = -EINPROGRESS;
  int actualLength = 0;
  int errorCount = 0;
  bool discarded = false;
};

UsbfsHandler::UsbfsHandler(std::shared_ptr<usbhost::DeviceBackend> backend, MockDeviceOptions options)
    : backend_(std::move(backend)),
      options_(std::move(options)),
      base_(static_cast<UMockdevIoctlBase*>(g_object_new(UMOCKDEV_TYPE_IOCTL_BASE, nullptr))),
      kernelDriverBound_(!options_.kernelDriver.empty()),
      isoWorker_([this] { RunIsochronous(); }) {
  g_signal_connect(base_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
}

UsbfsHandler::~UsbfsHandler() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  isoWake_.notify_all();
  isoWorker_.join();
  g_signal_handlers_disconnect_by_data(base_, this);
  g_object_unref(base_);
}

MockDeviceCounts UsbfsHandler::Counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

void UsbfsHandler::FailIsochronousUrbs(int status) {
  std::lock_guard lock(mutex_);
  isoFailure_ = status;
}

gboolean UsbfsHandler::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  static_cast<UsbfsHandler*>(self)->Handle(client);
  return TRUE;
}

void UsbfsHandler::Handle(UMockdevIoctlClient* client) {
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) return Reap(client);
  {
    std::lock_guard lock(mutex_);
    // What libusb gives back is counted even after the unplug: the bus waits for it.
    if (unplugged_ && request != USBDEVFS_RELEASEINTERFACE && request != USBDEVFS_IOCTL) {
      return umockdev_ioctl_client_complete(client, -1, ENODEV);
    }
  }
  switch (request) {
    case USBDEVFS_SUBMITURB: return Submit(client);
    case USBDEVFS_DISCARDURB: return Discard(client);
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = Resolve(arg, sizeof(uint32_t));
      *reinterpret_cast<uint32_t*>(caps->data) = USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      g_object_unref(caps);
      std::lock_guard lock(mutex_);
      ++counts_.opens;
      return umockdev_ioctl_client_complete(client, 0, 0);
    }
    case USBDEVFS_DISCONNECT_CLAIM:
    case USBDEVFS_CLAIMINTERFACE: {
      std::lock_guard lock(mutex_);
      if (options_.heldByProgram) return umockdev_ioctl_client_complete(client, -1, EBUSY);
      if (request == USBDEVFS_CLAIMINTERFACE && kernelDriverBound_) {
        return umockdev_ioctl_client_complete(client, -1, EBUSY);
      }
      if (kernelDriverBound_) {
        kernelDriverBound_ = false;
        ++counts_.kernelDriverDetaches;
      }
      ++counts_.claims;
      return umockdev_ioctl_client_complete(client, 0, 0);
    }
    case USBDEVFS_RELEASEINTERFACE: {
      std::lock_guard lock(mutex_);
      ++counts_.releases;
      return umockdev_ioctl_client_complete(client, unplugged_ ? -1 : 0, unplugged_ ? ENODEV : 0);
    }
    case USBDEVFS_GETDRIVER: {
      UMockdevIoctlData* driver = Resolve(arg, sizeof(usbdevfs_getdriver));
      std::lock_guard lock(mutex_);
      const bool bound = kernelDriverBound_;
      if (bound) {
        auto* record = reinterpret_cast<usbdevfs_getdriver*>(driver->data);
        std::snprintf(record->driver, sizeof record->driver, "%s", options_.kernelDriver.c_str());
      }
      g_object_unref(driver);
      return umockdev_ioctl_client_complete(client, bound ? 0 : -1, bound ? 0 : ENODATA);
    }
    case USBDEVFS_IOCTL: {  // CONNECT gives the interface back to its kernel driver
      UMockdevIoctlData* command = Resolve(arg, sizeof(usbdevfs_ioctl));
      const int code = reinterpret_cast<usbdevfs_ioctl*>(command->data)->ioctl_code;
      g_object_unref(command);
      std::lock_guard lock(mutex_);
      if (code == USBDEVFS_CONNECT && !options_.kernelDriver.empty() && !kernelDriverBound_ && !unplugged_) {
        kernelDriverBound_ = true;
        ++counts_.kernelDriverReattaches;
      }
      return umockdev_ioctl_client_complete(client, unplugged_ ? -1 : 0, unplugged_ ? ENODEV : 0);
    }
    case USBDEVFS_SETINTERFACE: {
      UMockdevIoctlData* setting = Resolve(arg, sizeof(usbdevfs_setinterface));
      const auto* record = reinterpret_cast<const usbdevfs_setinterface*>(setting->data);
      const bool selected = backend_->SelectAlternateSetting(static_cast<uint8_t>(record->interface),
                                                             static_cast<uint8_t>(record->altsetting));
      g_object_unref(setting);
      return umockdev_ioctl_client_complete(client, selected ? 0 : -1, selected ? 0 : EINVAL);
    }
    case USBDEVFS_CLEAR_HALT: {
      UMockdevIoctlData* endpoint = Resolve(arg, sizeof(unsigned int));
      const bool cleared = backend_->ResetEndpoint(static_cast<uint8_t>(*reinterpret_cast<unsigned*>(endpoint->data)));
      g_object_unref(endpoint);
      std::lock_guard lock(mutex_);
      ++counts_.clearedHalts;
      return umockdev_ioctl_client_complete(client, cleared ? 0 : -1, cleared ? 0 : EPIPE);
    }
    default: {
      std::lock_guard lock(mutex_);
      ++counts_.unknownRequests;
      return umockdev_ioctl_client_complete(client, -1, ENOTTY);
    }
  }
}

void UsbfsHandler::Submit(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  auto urb = std::make_shared<Urb>();
  urb->address = *reinterpret_cast<const gulong*>(arg->data);
  // The header alone: its packet descriptors follow it, and their number is in it.
  UMockdevIoctlData* header = Resolve(arg, sizeof(usbdevfs_urb));
  const auto* view = reinterpret_cast<const usbdevfs_urb*>(header->data);
  urb->type = view->type;
  urb->endpoint = view->endpoint;
  const int bufferLength = std::max(view->buffer_length, 0);
  UMockdevIoctlData* buffer =
      umockdev_ioctl_data_resolve(header, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(bufferLength), nullptr);
  urb->data.assign(buffer->data, buffer->data + bufferLength);
  const bool iso = urb->type == USBDEVFS_URB_TYPE_ISO;
  if (iso && view->number_of_packets > 0) {
    // libusb gives every packet of a transfer the same length (libusb_set_iso_packet_lengths).
    usbdevfs_iso_packet_desc packet{static_cast<unsigned>(bufferLength / view->number_of_packets), 0, 0};
    urb->packets.assign(static_cast<size_t>(view->number_of_packets), packet);
  }
  g_object_unref(buffer);
  g_object_unref(header);
  umockdev_ioctl_client_complete(client, 0, 0);

  std::unique_lock lock(mutex_);
  pending_.push_back(urb);
  if (iso) {
    ++counts_.isochronousUrbs;
    isoQueue_.push_back(urb);
    isoWake_.notify_all();
    return;
  }
  ++counts_.controlUrbs;
  if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->data.size() < kSetupBytes) return Finish(urb, -EINVAL);
  USB_DEVICE_REQUEST setup;
  std::memcpy(&setup, urb->data.data(), kSetupBytes);
  const std::span<uint8_t> stage(urb->data.data() + kSetupBytes,
                                 std::min<size_t>(setup.wLength, urb->data.size() - kSetupBytes));
  controlInBackend_ = urb;
  lock.unlock();
  // The backend may answer at once, later, or (a camera that stopped answering) never.
  backend_->SubmitControl(setup, stage, [this, weak = std::weak_ptr<Urb>(urb)](DWORD usbError, DWORD bytes) {
    std::lock_guard guard(mutex_);
    auto answered = weak.lock();
    if (!answered || controlInBackend_ != answered) return;
    controlInBackend_.reset();
    answered->actualLength = static_cast<int>(bytes);
    Finish(answered, usbError == USB_NO_ERROR ? 0 : usbError == USB_STALL_ERROR ? -EPIPE : -EPROTO);
  });
}

void UsbfsHandler::Finish(const std::shared_ptr<Urb>& urb, int status) {
  if (std::find(pending_.begin(), pending_.end(), urb) == pending_.end()) return;
  pending_.remove(urb);
  urb->status = urb->discarded ? -ENOENT : status;
  finished_.push_back(urb);
}

void UsbfsHandler::Reap(UMockdevIoctlClient* client) {
  std::unique_lock lock(mutex_);
  if (finished_.empty()) {
    ++counts_.emptyReaps;
    const int error = unplugged_ ? ENODEV : EAGAIN;
    lock.unlock();
    return umockdev_ioctl_client_complete(client, -1, error);
  }
  const std::shared_ptr<Urb> urb = finished_.front();
  finished_.pop_front();
  lock.unlock();
  // The reaped URB's address is the answer; resolved through it, the URB and its buffer
  // receive the results and go back to the program with this ioctl.
  UMockdevIoctlData* out = Resolve(umockdev_ioctl_client_get_arg(client), sizeof(void*));
  *reinterpret_cast<gulong*>(out->data) = urb->address;
  UMockdevIoctlData* block =
      Resolve(out, sizeof(usbdevfs_urb) + urb->packets.size() * sizeof(usbdevfs_iso_packet_desc));
  auto* view = reinterpret_cast<usbdevfs_urb*>(block->data);
  view->status = urb->status;
  view->actual_length = urb->actualLength;
  view->error_count = urb->errorCount;
  std::copy(urb->packets.begin(), urb->packets.end(), view->iso_frame_desc);
  const bool toProgram =
      urb->type == USBDEVFS_URB_TYPE_ISO || (urb->data.size() >= kSetupBytes && (urb->data[0] & 0x80));
  if (toProgram && urb->status == 0) {
    UMockdevIoctlData* buffer =
        umockdev_ioctl_data_resolve(block, offsetof(usbdevfs_urb, buffer), urb->data.size(), nullptr);
    std::memcpy(buffer->data, urb->data.data(), urb->data.size());
    g_object_unref(buffer);
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  g_object_unref(block);
  g_object_unref(out);
}

void UsbfsHandler::Discard(UMockdevIoctlClient* client) {
  const gulong address = *reinterpret_cast<const gulong*>(umockdev_ioctl_client_get_arg(client)->data);
  std::unique_lock lock(mutex_);
  ++counts_.discards;
  const auto found = std::find_if(pending_.begin(), pending_.end(),
                                  [&](const std::shared_ptr<Urb>& urb) { return urb->address == address; });
  if (found == pending_.end()) {
    lock.unlock();
    return umockdev_ioctl_client_complete(client, -1, EINVAL);
  }
  const std::shared_ptr<Urb> urb = *found;
  urb->discarded = true;
  const bool inBackend = controlInBackend_ == urb;
  if (inBackend) controlInBackend_.reset();
  const auto queued = std::find(isoQueue_.begin(), isoQueue_.end(), urb);
  // An isochronous URB being filled now finishes (as discarded) when its frames are over.
  if (inBackend || queued != isoQueue_.end() || urb->type == USBDEVFS_URB_TYPE_CONTROL) {
    if (queued != isoQueue_.end()) isoQueue_.erase(queued);
    Finish(urb, -ENOENT);
  }
  lock.unlock();
  if (inBackend) backend_->CancelControl();
  umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsHandler::RunIsochronous() {
  std::unique_lock lock(mutex_);
  while (true) {
    isoWake_.wait(lock, [this] { return stopping_ || !isoQueue_.empty(); });
    if (stopping_) return;
    const std::shared_ptr<Urb> urb = isoQueue_.front();
    isoQueue_.pop_front();
    isoRunning_ = urb;
    const int failure = isoFailure_;
    std::vector<DWORD> requested(urb->packets.size()), actual(urb->packets.size(), 0);
    for (size_t i = 0; i < urb->packets.size(); ++i) requested[i] = urb->packets[i].length;
    lock.unlock();
    bool streamed = false;
    if (failure == 0) {
      try {
        streamed = backend_->IsochIn(urb->endpoint, requested, urb->data.data(), actual);
      } catch (const std::exception&) {
        streamed = false;  // a fault inside the transfer: the URB fails
      }
    }
    lock.lock();
    urb->actualLength = 0;
    for (size_t i = 0; i < urb->packets.size(); ++i) {
      urb->packets[i].actual_length = streamed ? actual[i] : 0;
      urb->packets[i].status = streamed ? 0 : static_cast<unsigned>(-EXDEV);
      urb->actualLength += static_cast<int>(urb->packets[i].actual_length);
    }
    urb->errorCount = streamed ? 0 : static_cast<int>(urb->packets.size());
    isoRunning_.reset();
    Finish(urb, unplugged_ ? -ENODEV : failure != 0 ? failure : streamed ? 0 : -EPROTO);
  }
}

void UsbfsHandler::Unplug() {
  backend_->Disconnect();
  std::lock_guard lock(mutex_);
  unplugged_ = true;
  controlInBackend_.reset();
  isoQueue_.clear();
  // The URB being filled ends by itself: the disconnected backend returns at once.
  const std::list<std::shared_ptr<Urb>> ending = pending_;
  for (const auto& urb : ending) {
    if (urb != isoRunning_) Finish(urb, -ENODEV);
  }
}

}  // namespace usbtestbed
