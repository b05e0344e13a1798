// The host's process-wide state: the tables behind USB_HANDLE, USB_PIPE and
// USB_TRANSFER, and every USB_DEVICE record tree handed out so far.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "device_records.h"
#include "host_device.h"
#include "id_table.h"
#include "transfer.h"

namespace usbhost {

struct Pipe {
  std::shared_ptr<HostDevice> device;
  USB_ENDPOINT_DESCRIPTOR endpoint;
};

// Keeps record trees alive past their device's unplug: a driver that raced with the
// unplug may still read through a USB_DEVICE pointer it fetched before. Released when
// the host shuts down and no driver is left.
class RecordsArchive {
 public:
  void Keep(std::shared_ptr<const DeviceRecords> records);
  // The tree whose root is `device`, or null for a pointer the host never handed out.
  const DeviceRecords* Find(LPCUSB_DEVICE device) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<const DeviceRecords>> records_;
};

struct HostState {
  IdTable<HostDevice> devices;
  IdTable<Pipe> pipes;
  IdTable<Transfer> transfers;
  RecordsArchive records;
};

HostState& Host();

}  // namespace usbhost
