// The members of USB_FUNCS. Every handle is an id looked up in the host's tables, so a
// stale or foreign one fails with ERROR_INVALID_HANDLE; a device that has been unplugged
// fails with ERROR_DEVICE_NOT_CONNECTED.
#include "usb_funcs.h"

#include <algorithm>
#include <span>
#include <vector>

#include "host_state.h"
#include "platform/winbase.h"

namespace usbhost {
namespace {

// More packets than any client asks for in one transfer; a larger count is a bad argument.
constexpr DWORD kMaxIsochFrames = 1024;

template <class Result>
Result Fail(DWORD error) {
  SetLastError(error);
  return Result{};
}

std::shared_ptr<HostDevice> FindDevice(USB_HANDLE handle) {
  auto device = Host().devices.Find(IdFromHandle(handle));
  if (!device) SetLastError(ERROR_INVALID_HANDLE);
  return device;
}

std::shared_ptr<HostDevice> FindPluggedDevice(USB_HANDLE handle) {
  auto device = FindDevice(handle);
  if (device && !device->IsPlugged()) return Fail<std::shared_ptr<HostDevice>>(ERROR_DEVICE_NOT_CONNECTED);
  return device;
}

std::shared_ptr<Pipe> FindPipe(USB_PIPE handle) {
  auto pipe = Host().pipes.Find(IdFromHandle(handle));
  if (!pipe) return Fail<std::shared_ptr<Pipe>>(ERROR_INVALID_HANDLE);
  if (!pipe->device->IsPlugged()) return Fail<std::shared_ptr<Pipe>>(ERROR_DEVICE_NOT_CONNECTED);
  return pipe;
}

USB_TRANSFER Publish(const std::shared_ptr<Transfer>& transfer) {
  return HandleFromId<USB_TRANSFER>(Host().transfers.Add(transfer));
}

LPCUSB_DEVICE GetDeviceInfo(USB_HANDLE handle) {
  auto device = FindDevice(handle);
  return device ? device->Records()->Device() : nullptr;
}

LPCUSB_INTERFACE FindInterface(LPCUSB_DEVICE deviceInfo, UCHAR interfaceNumber, UCHAR alternateSetting) {
  const DeviceRecords* records = Host().records.Find(deviceInfo);
  if (!records) return Fail<LPCUSB_INTERFACE>(ERROR_INVALID_PARAMETER);
  LPCUSB_INTERFACE interface = records->Find(interfaceNumber, alternateSetting);
  if (!interface) SetLastError(ERROR_INVALID_PARAMETER);
  return interface;
}

// Synchronous: the setting is selected, and the routine (if any) has run, on return.
USB_TRANSFER SetInterface(USB_HANDLE handle, LPTRANSFER_NOTIFY_ROUTINE routine, LPVOID context, DWORD /*flags*/,
                          UCHAR interfaceNumber, UCHAR alternateSetting) {
  auto device = FindPluggedDevice(handle);
  if (!device) return nullptr;
  if (!device->Records()->Find(interfaceNumber, alternateSetting)) return Fail<USB_TRANSFER>(ERROR_INVALID_PARAMETER);
  if (!device->Backend().SelectAlternateSetting(interfaceNumber, alternateSetting)) {
    return Fail<USB_TRANSFER>(ERROR_GEN_FAILURE);
  }
  auto transfer = std::make_shared<Transfer>(routine, context);
  const USB_TRANSFER published = Publish(transfer);
  transfer->Complete(USB_NO_ERROR, 0);
  return published;
}

USB_PIPE OpenPipe(USB_HANDLE handle, LPCUSB_ENDPOINT_DESCRIPTOR endpoint) {
  if (!endpoint) return Fail<USB_PIPE>(ERROR_INVALID_PARAMETER);
  auto device = FindPluggedDevice(handle);
  if (!device) return nullptr;
  const USB_ENDPOINT_DESCRIPTOR* known = device->Records()->FindEndpoint(endpoint->bEndpointAddress);
  if (!known) return Fail<USB_PIPE>(ERROR_INVALID_PARAMETER);
  return HandleFromId<USB_PIPE>(Host().pipes.Add(std::make_shared<Pipe>(Pipe{device, *known})));
}

BOOL ResetPipe(USB_PIPE handle) {
  auto pipe = FindPipe(handle);
  if (!pipe) return FALSE;
  if (!pipe->device->Backend().ResetEndpoint(pipe->endpoint.bEndpointAddress)) return Fail<BOOL>(ERROR_GEN_FAILURE);
  return TRUE;
}

BOOL ClosePipe(USB_PIPE handle) {
  if (!Host().pipes.Take(IdFromHandle(handle))) return Fail<BOOL>(ERROR_INVALID_HANDLE);
  return TRUE;
}

USB_TRANSFER IssueVendorTransfer(USB_HANDLE handle, LPTRANSFER_NOTIFY_ROUTINE routine, LPVOID context, DWORD /*flags*/,
                                 const USB_DEVICE_REQUEST* setup, LPVOID buffer, ULONG /*physicalAddress*/) {
  if (!setup || (setup->wLength > 0 && !buffer)) return Fail<USB_TRANSFER>(ERROR_INVALID_PARAMETER);
  auto device = FindPluggedDevice(handle);
  if (!device) return nullptr;
  auto transfer = std::make_shared<Transfer>(routine, context);
  transfer->AttachQueue(device->Control());
  const USB_TRANSFER published = Publish(transfer);
  if (!device->Control()->Submit(transfer, *setup, buffer)) {
    Host().transfers.Take(IdFromHandle(published));
    return Fail<USB_TRANSFER>(ERROR_DEVICE_NOT_CONNECTED);
  }
  return published;
}

BOOL GetTransferStatus(USB_TRANSFER handle, LPDWORD bytesTransferred, LPDWORD usbError) {
  auto transfer = Host().transfers.Find(IdFromHandle(handle));
  if (!transfer) return Fail<BOOL>(ERROR_INVALID_HANDLE);
  DWORD bytes = 0;
  DWORD error = 0;
  transfer->Status(bytes, error);
  if (bytesTransferred) *bytesTransferred = bytes;
  if (usbError) *usbError = error;
  return TRUE;
}

bool IsIsochIn(const USB_ENDPOINT_DESCRIPTOR& endpoint) {
  return (endpoint.bEndpointAddress & USB_ENDPOINT_DIRECTION_MASK) != 0 &&
         (endpoint.bmAttributes & USB_ENDPOINT_TYPE_MASK) == USB_ENDPOINT_TYPE_ISOCHRONOUS;
}

// Blocks until every packet's frame has passed; the routine, if given, runs before the
// call returns. A C++ exception thrown by the backend (a fault inside the transfer)
// reaches the caller unchanged, as a structured exception would on the device.
USB_TRANSFER IssueIsochTransfer(USB_PIPE handle, LPTRANSFER_NOTIFY_ROUTINE routine, LPVOID context, DWORD /*flags*/,
                                DWORD /*startingFrame*/, DWORD frames, LPCDWORD lengths, LPVOID buffer,
                                ULONG /*physicalAddress*/) {
  if (!lengths || !buffer || frames == 0 || frames > kMaxIsochFrames) {
    return Fail<USB_TRANSFER>(ERROR_INVALID_PARAMETER);
  }
  auto pipe = FindPipe(handle);
  if (!pipe) return nullptr;
  if (!IsIsochIn(pipe->endpoint)) return Fail<USB_TRANSFER>(ERROR_INVALID_PARAMETER);

  const std::span<const DWORD> requested(lengths, frames);
  std::vector<DWORD> actual(frames, 0);
  if (!pipe->device->Backend().IsochIn(pipe->endpoint.bEndpointAddress, requested, static_cast<uint8_t*>(buffer),
                                       actual)) {
    return Fail<USB_TRANSFER>(pipe->device->IsPlugged() ? ERROR_GEN_FAILURE : ERROR_DEVICE_NOT_CONNECTED);
  }
  // A packet never reports more than its slot could hold.
  for (DWORD i = 0; i < frames; ++i) actual[i] = std::min(actual[i], requested[i]);

  auto transfer = std::make_shared<Transfer>(routine, context);
  const USB_TRANSFER published = Publish(transfer);
  transfer->CompleteIsoch(std::move(actual));
  return published;
}

BOOL GetIsochResults(USB_TRANSFER handle, DWORD frames, LPDWORD lengths, LPDWORD errors) {
  auto transfer = Host().transfers.Find(IdFromHandle(handle));
  if (!transfer) return Fail<BOOL>(ERROR_INVALID_HANDLE);
  if (!transfer->IsochLengths(frames, lengths, errors)) return Fail<BOOL>(ERROR_INVALID_PARAMETER);
  return TRUE;
}

// Also for a transfer still pending: once this returns its routine does not run and the
// device no longer writes into the client's buffer.
BOOL CloseTransfer(USB_TRANSFER handle) {
  auto transfer = Host().transfers.Take(IdFromHandle(handle));
  if (!transfer) return Fail<BOOL>(ERROR_INVALID_HANDLE);
  transfer->Close();
  if (auto queue = transfer->Queue()) queue->Withdraw(transfer);
  return TRUE;
}

BOOL RegisterNotificationRoutine(USB_HANDLE handle, LPDEVICE_NOTIFY_ROUTINE routine, LPVOID parameter) {
  auto device = FindDevice(handle);
  if (!device) return FALSE;
  device->SetNotification({routine, parameter});
  return TRUE;
}

}  // namespace

const USB_FUNCS& HostFunctions() {
  static const USB_FUNCS functions{sizeof(USB_FUNCS),
                                   &GetDeviceInfo,
                                   &FindInterface,
                                   &SetInterface,
                                   &OpenPipe,
                                   &ResetPipe,
                                   &ClosePipe,
                                   &IssueVendorTransfer,
                                   &GetTransferStatus,
                                   &IssueIsochTransfer,
                                   &GetIsochResults,
                                   &CloseTransfer,
                                   &RegisterNotificationRoutine};
  return functions;
}

}  // namespace usbhost
