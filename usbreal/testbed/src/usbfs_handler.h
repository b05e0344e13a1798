// The usbdevfs side of one mock device: every ioctl libusb makes on the device node is
// answered here, on umockdev's worker thread, from the device's backend. Control URBs go
// to the backend at once (it completes them when it answers); isochronous URBs run one
// after another on a thread of the handler's own, since the backend blocks for their
// USB frames. Finished URBs wait until libusb reaps them.
#pragma once

#include <umockdev.h>

#include <condition_variable>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "usbhost/usbhost.h"
#include "usbtestbed/mock_usb_bus.h"

namespace usbtestbed {

class UsbfsHandler final : public MockDevice {
 public:
  UsbfsHandler(std::shared_ptr<usbhost::DeviceBackend> backend, MockDeviceOptions options);
  ~UsbfsHandler() override;

  UMockdevIoctlBase* ioctlBase() const { return base_; }
  // The device was pulled out: the backend is disconnected and every URB ends with ENODEV.
  void Unplug();
  uint8_t bus() const override { return options_.bus; }
  uint8_t address() const override { return options_.address; }
  bool withoutNode() const { return options_.withoutNode; }
  MockDeviceCounts Counts() const override;
  void FailIsochronousUrbs(int status) override;

 private:
  struct Urb;
  static gboolean OnIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
  void Handle(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client);
  void Reap(UMockdevIoctlClient* client);
  void Discard(UMockdevIoctlClient* client);
  void Finish(const std::shared_ptr<Urb>& urb, int status);  // under mutex_
  void RunIsochronous();

  const std::shared_ptr<usbhost::DeviceBackend> backend_;
  MockDeviceOptions options_;
  UMockdevIoctlBase* const base_;

  mutable std::mutex mutex_;
  std::condition_variable isoWake_;
  std::list<std::shared_ptr<Urb>> pending_;  // submitted, not finished
  std::deque<std::shared_ptr<Urb>> isoQueue_;
  std::deque<std::shared_ptr<Urb>> finished_;  // waiting to be reaped
  std::shared_ptr<Urb> controlInBackend_;
  std::shared_ptr<Urb> isoRunning_;  // being filled by the backend now
  MockDeviceCounts counts_;
  bool kernelDriverBound_;
  bool unplugged_ = false;
  bool stopping_ = false;
  int isoFailure_ = 0;
  std::thread isoWorker_;
};

}  // namespace usbtestbed
