#include "usb/usb_attach.h"

#include "device/driver_identity.h"
#include "device/registry_key.h"
#include "entry/entry_guard.h"
#include "image/colour_converter.h"
#include "image/jpeg_decoder.h"
#include "platform/devload.h"
#include "usb/usb_descriptors.h"
#include "velmar/velmar.h"
#include "velmar/vlm_ioctl.h"

namespace {

constexpr DWORD kDefaultLevelSetting = 128;
constexpr DWORD kDefaultLightMode = 2;

bool HasStreamingSetting(LPCUSB_FUNCS funcs, LPCUSB_DEVICE info, BYTE interfaceNumber) {
  for (BYTE setting = kHighestAlternateSetting; setting >= 1; --setting) {
    if (FindStreamingEndpoint(funcs->FindInterface(info, interfaceNumber, setting)) != nullptr) return true;
  }
  return false;
}

bool CreateDeviceEvents(VlmDevice* device) {
  device->controlEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (device->controlEvent == nullptr) return false;
  device->openCloseEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (device->openCloseEvent == nullptr) return false;
  device->captureEndEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return device->captureEndEvent != nullptr;
}

void SetAttachDefaults(VlmDevice* device) {
  device->bandwidthLevel = 0;
  device->levelSetting = kDefaultLevelSetting;
  device->register008Value = 1;
  device->register180Switch = 1;
  device->sizeIndex = VLM_SIZE_320X240;
  device->lightMode = kDefaultLightMode;
  device->captureKeepRunning = TRUE;
  device->streamingRunning = FALSE;
}

void ReleaseAttachment(VlmDevice* device) {
  if (device->attachmentHeld.exchange(FALSE)) ReleaseDeviceReference(device);
}

BOOL Attach(USB_HANDLE usbDevice, LPCUSB_FUNCS funcs, LPBOOL acceptControl) {
  if (acceptControl == nullptr) return FALSE;
  *acceptControl = FALSE;
  if (funcs == nullptr) return FALSE;

  VlmDevice* device = AllocateDeviceContext();
  if (device == nullptr) return FALSE;
  if (IsSupportedCamera(usbDevice, funcs) < 0) {
    ReleaseAttachment(device);
    return FALSE;
  }
  device->usbDevice = usbDevice;
  device->usbFuncs = funcs;
  device->open = FALSE;
  device->removed = FALSE;
  if (!CreateDeviceEvents(device)) {
    ReleaseAttachment(device);
    return FALSE;
  }
  SetAttachDefaults(device);

  // The device manager creates the active key and runs VLM_Init before this returns.
  device->activationHandle = ActivateDevice(kDriverKeyPath, reinterpret_cast<DWORD_PTR>(device));
  if (device->activationHandle == nullptr) {
    ReleaseAttachment(device);
    return FALSE;
  }
  if (!funcs->RegisterNotificationRoutine(usbDevice, DeviceNotify, device)) {
    DeactivateDevice(device->activationHandle);
    ReleaseAttachment(device);
    return FALSE;
  }
  *acceptControl = TRUE;
  return TRUE;
}

BOOL Detach(VlmDevice* device) {
  bool wasOpen = false;
  {
    CriticalSectionGuard hold(device->deviceLock);
    wasOpen = device->open;
    // Marked removed even when closed, so that no open can slip in before deactivation.
    device->removed = TRUE;
    device->open = FALSE;
  }
  if (wasOpen) WaitForSingleObject(device->openCloseEvent, kCloseWaitMs);
  const BOOL result = DeactivateDevice(device->activationHandle);
  ReleaseAttachment(device);
  return result;
}

void CloseHandleIfAny(HANDLE& handle) {
  if (handle != nullptr) CloseHandle(handle);
  handle = nullptr;
}

void FreeLocal(BYTE*& memory) {
  if (memory != nullptr) LocalFree(memory);
  memory = nullptr;
}

}  // namespace

int IsSupportedCamera(USB_HANDLE usbDevice, LPCUSB_FUNCS funcs) {
  LPCUSB_DEVICE info = funcs->GetDeviceInfo(usbDevice);
  if (info == nullptr) return kCameraNoDeviceInfo;
  if (info->Descriptor.idVendor != kCameraVendorId || info->lpActiveConfig == nullptr) return kCameraNotSupported;
  const BYTE interfaces = info->lpActiveConfig->Descriptor.bNumInterfaces;
  for (BYTE number = 0; number < interfaces; ++number) {
    if (HasStreamingSetting(funcs, info, number)) return kCameraSupported;
  }
  return kCameraNotSupported;
}

BOOL DeviceNotify(LPVOID context, DWORD code, LPDWORD*, LPDWORD*, LPDWORD*, LPDWORD*) {
  return GuardEntry(FALSE, [&]() -> BOOL {
    VlmDevice* device = DeviceFromHandle(reinterpret_cast<DWORD_PTR>(context));
    if (device == nullptr || code != USB_CLOSE_DEVICE) return TRUE;
    return Detach(device);
  });
}

void FreeDeviceContext(VlmDevice* device) {
  if (!IsValidDevice(device) || device->open) return;
  CloseHandleIfAny(device->controlEvent);
  CloseHandleIfAny(device->openCloseEvent);
  CloseHandleIfAny(device->captureEndEvent);
  // Left behind only if capture never got to tidy up.
  CloseHandleIfAny(device->streamingEvent);
  CloseHandleIfAny(device->captureThread);
  if (device->streamingPipe != nullptr && device->usbFuncs != nullptr)
    device->usbFuncs->ClosePipe(device->streamingPipe);
  device->streamingPipe = nullptr;

  DestroyDecoder(device->decoder);
  device->decoder = nullptr;
  FreeLocal(device->yuv420Buffer);
  DestroyConverter(device->converter);
  device->converter = nullptr;
  for (FrameSlot& slot : device->slots) {
    FreeLocal(slot.buffer);
    slot.length = 0;
    if (slot.lockReady) DeleteCriticalSection(&slot.lock);
    slot.lockReady = false;
  }
  DeleteCriticalSection(&device->deviceLock);
  DeleteCriticalSection(&device->vendorRequestLock);
  FreeLocal(device->jpegWorkBuffer);
  DeleteDeviceRecord(device);
}

VlmDevice* FindContextByActiveKey(LPCWSTR activeKeyPath) {
  if (activeKeyPath == nullptr) return nullptr;
  RegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, activeKeyPath, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return nullptr;
  // The record's full address: a pointer is never squeezed into 32 bits.
  uint64_t address = 0;
  DWORD size = sizeof address;
  DWORD type = 0;
  if (RegQueryValueExW(key.Get(), DEVLOAD_CLIENTINFO_VALNAME, nullptr, &type, reinterpret_cast<BYTE*>(&address),
                       &size) != ERROR_SUCCESS ||
      type != REG_QWORD || size != sizeof address) {
    return nullptr;
  }
  return DeviceFromHandle(static_cast<DWORD_PTR>(address));
}

extern "C" BOOL USBDeviceAttach(USB_HANDLE device, LPCUSB_FUNCS funcs, LPCUSB_INTERFACE, LPCWSTR, LPBOOL acceptControl,
                                LPCUSB_DRIVER_SETTINGS, DWORD) {
  return GuardEntry(FALSE, [&] { return Attach(device, funcs, acceptControl); });
}
