#include "usb/vendor_transfer.h"

namespace {

USB_DEVICE_REQUEST MakeSetup(BYTE requestType, DWORD request, WORD value, DWORD index, WORD length) {
  return USB_DEVICE_REQUEST{requestType, static_cast<BYTE>(request & 0xFF), value, static_cast<WORD>(index & 0xFFFF),
                            length};
}

BOOL IssueVendorRequest(VlmDevice* device, const USB_DEVICE_REQUEST& setup, DWORD flags, LPVOID buffer,
                        DWORD timeoutMs) {
  if (!IsValidDevice(device)) return FALSE;
  DWORD bytes = 0;
  DWORD usbError = 0;
  DWORD result = 0;
  {
    // All requests of the device complete through its one control event.
    CriticalSectionGuard hold(device->vendorRequestLock);
    result = IssueVendorTransferAndWait(device->usbFuncs, device->usbDevice, TransferCompleteNotify,
                                        device->controlEvent, flags, &setup, buffer, 0, &bytes, timeoutMs, &usbError);
  }
  return result == 0 && usbError == 0 ? TRUE : FALSE;
}

}  // namespace

DWORD TransferCompleteNotify(LPVOID context) {
  if (context == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return ERROR_INVALID_HANDLE;
  }
  return SetEvent(static_cast<HANDLE>(context)) ? 0 : GetLastError();
}

DWORD IssueVendorTransferAndWait(LPCUSB_FUNCS funcs, USB_HANDLE device, LPTRANSFER_NOTIFY_ROUTINE routine, HANDLE event,
                                 DWORD flags, const USB_DEVICE_REQUEST* setup, LPVOID buffer, ULONG physicalAddress,
                                 LPDWORD bytesTransferred, DWORD timeoutMs, LPDWORD usbError) {
  if (funcs == nullptr || device == nullptr || setup == nullptr || bytesTransferred == nullptr || usbError == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR_INVALID_PARAMETER;
  }
  *bytesTransferred = 0;
  *usbError = 0;

  const bool waitForCompletion = event != nullptr && routine != nullptr && timeoutMs != 0;
  if (waitForCompletion) ResetEvent(event);

  USB_TRANSFER transfer = funcs->IssueVendorTransfer(device, routine, event, flags, setup, buffer, physicalAddress);
  if (transfer == nullptr) {
    // A refused transfer must never read as success, whatever the last error says.
    const DWORD error = GetLastError() != 0 ? GetLastError() : ERROR_GEN_FAILURE;
    SetLastError(error);
    return error;
  }

  DWORD result = 0;
  bool readStatus = true;
  if (waitForCompletion) {
    const DWORD wait = WaitForSingleObject(event, timeoutMs);
    if (wait == WAIT_TIMEOUT) {
      result = ERROR_TIMEOUT;
    } else if (wait != WAIT_OBJECT_0) {
      result = ERROR_GEN_FAILURE;
      readStatus = false;
    }
  }
  if (readStatus && !funcs->GetTransferStatus(transfer, bytesTransferred, usbError)) {
    *usbError = kUnknownTransferStatus;
  }
  funcs->CloseTransfer(transfer);

  if (result == 0 && *usbError != 0) result = ERROR_GEN_FAILURE;
  if (result != 0) SetLastError(result);
  return result;
}

BOOL VendorWrite(VlmDevice* device, DWORD request, WORD value, DWORD index, LPVOID buffer, WORD length) {
  return IssueVendorRequest(device, MakeSetup(kVendorWriteRequestType, request, value, index, length),
                            kVendorWriteFlags, buffer, kVendorWriteTimeoutMs);
}

BOOL VendorRead(VlmDevice* device, DWORD request, WORD value, DWORD index, LPVOID buffer, WORD length) {
  return IssueVendorRequest(device, MakeSetup(kVendorReadRequestType, request, value, index, length), kVendorReadFlags,
                            buffer, kVendorReadTimeoutMs);
}

BOOL WriteControllerRegister(VlmDevice* device, WORD reg, BYTE value) {
  return VendorWrite(device, kRegisterWriteRequest, value, reg, nullptr, 0);
}

BOOL ReadControllerRegister(VlmDevice* device, WORD reg, DWORD* value) {
  BYTE byte = 0;
  const BOOL ok = VendorRead(device, kRegisterReadRequest, 1, reg, &byte, 1);
  *value = byte;
  return ok;
}

BOOL RunRegisterTable(VlmDevice* device, const RegisterEntry* table) {
  if (!IsValidDevice(device) || table == nullptr) return FALSE;
  BOOL all = TRUE;
  for (const RegisterEntry* entry = table; entry->request != 0; ++entry) {
    BOOL ok = FALSE;
    if (entry->request == kRegisterWriteRequest) {
      ok = VendorWrite(device, entry->request, entry->value, entry->index, nullptr, 0);
    } else {
      BYTE discarded = 0;
      ok = VendorRead(device, entry->request, entry->value, entry->index, &discarded, 1);
    }
    all = all && ok;
  }
  return all ? TRUE : FALSE;
}
