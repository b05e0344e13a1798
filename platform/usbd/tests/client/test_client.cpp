#include "test_client.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/winbase.h"

namespace testclient {
namespace {

struct ClientState {
  std::mutex mutex;
  std::condition_variable changed;
  int installs = 0;
  int uninstalls = 0;
  std::u16string libraryName;
  bool accept = true;
  OnNotify onNotify = OnNotify::Record;
  bool released = false;
  size_t notifyEntered = 0;
  std::vector<Attachment> attachments;
  std::vector<Notification> notifications;
};

ClientState& State() {
  static ClientState state;
  return state;
}

USB_DRIVER_SETTINGS VendorSettings() {
  return {sizeof(USB_DRIVER_SETTINGS),
          kTestVendor,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO};
}

LPCUSB_FUNCS FuncsOf(USB_HANDLE device) {
  std::lock_guard lock(State().mutex);
  for (const Attachment& attachment : State().attachments) {
    if (attachment.device == device) return attachment.funcs;
  }
  return nullptr;
}

BOOL DeviceNotify(LPVOID parameter, DWORD code, LPDWORD*, LPDWORD*, LPDWORD*, LPDWORD*) {
  auto device = static_cast<USB_HANDLE>(parameter);
  Notification notification{device, code, FALSE, FALSE, 0};
  OnNotify behaviour;
  {
    std::lock_guard lock(State().mutex);
    behaviour = State().onNotify;
    ++State().notifyEntered;
  }
  State().changed.notify_all();

  if (behaviour == OnNotify::WaitForRelease) {
    std::unique_lock lock(State().mutex);
    State().changed.wait_for(lock, std::chrono::seconds(5), [] { return State().released; });
  } else if (behaviour == OnNotify::CallBack) {
    if (LPCUSB_FUNCS funcs = FuncsOf(device)) {
      notification.deviceInfoFound = funcs->GetDeviceInfo(device) != nullptr;
      USB_DEVICE_REQUEST setup{0x40, 0xA0, 1, 0, 0};
      SetLastError(0);
      USB_TRANSFER transfer = funcs->IssueVendorTransfer(device, nullptr, nullptr, 0, &setup, nullptr, 0);
      notification.transferRefused = transfer == nullptr;
      notification.transferRefusedError = GetLastError();
      if (transfer) funcs->CloseTransfer(transfer);
    }
  }
  std::lock_guard lock(State().mutex);
  State().notifications.push_back(notification);
  return TRUE;
}

// Reaches the registration functions the way a client driver must: by name in "usbd.dll".
template <class Function>
Function UsbdFunction(HMODULE usbd, const char16_t* name) {
  return reinterpret_cast<Function>(GetProcAddressW(usbd, name));
}

}  // namespace

int InstallCount() {
  std::lock_guard lock(State().mutex);
  return State().installs;
}

int UninstallCount() {
  std::lock_guard lock(State().mutex);
  return State().uninstalls;
}

std::u16string InstalledLibraryName() {
  std::lock_guard lock(State().mutex);
  return State().libraryName;
}

std::vector<Attachment> Attachments() {
  std::lock_guard lock(State().mutex);
  return State().attachments;
}

std::vector<Notification> Notifications() {
  std::lock_guard lock(State().mutex);
  return State().notifications;
}

bool WaitForNotifyEntered(size_t count) {
  std::unique_lock lock(State().mutex);
  return State().changed.wait_for(lock, std::chrono::seconds(5), [&] { return State().notifyEntered >= count; });
}

void SetAccept(bool accept) {
  std::lock_guard lock(State().mutex);
  State().accept = accept;
}

void SetOnNotify(OnNotify behaviour) {
  std::lock_guard lock(State().mutex);
  State().onNotify = behaviour;
  State().released = false;
}

void ReleaseNotify() {
  {
    std::lock_guard lock(State().mutex);
    State().released = true;
  }
  State().changed.notify_all();
}

void Reset() {
  std::lock_guard lock(State().mutex);
  State().accept = true;
  State().onNotify = OnNotify::Record;
  State().released = false;
  State().notifyEntered = 0;
  State().attachments.clear();
  State().notifications.clear();
}

}  // namespace testclient

using namespace testclient;

extern "C" BOOL USBInstallDriver(LPCWSTR driverLibraryFile) {
  HMODULE usbd = LoadLibraryW(u"usbd.dll");
  if (!usbd) return FALSE;
  auto registerId = UsbdFunction<LPREGISTER_CLIENT_DRIVER_ID>(usbd, u"RegisterClientDriverID");
  auto registerSettings = UsbdFunction<LPREGISTER_CLIENT_SETTINGS>(usbd, u"RegisterClientSettings");
  const USB_DRIVER_SETTINGS settings = VendorSettings();
  const BOOL registered = registerId && registerSettings && registerId(kDriverId) &&
                          registerSettings(driverLibraryFile, kDriverId, nullptr, &settings);
  FreeLibrary(usbd);
  std::lock_guard lock(State().mutex);
  ++State().installs;
  State().libraryName = driverLibraryFile ? driverLibraryFile : u"";
  return registered;
}

extern "C" BOOL USBUnInstallDriver() {
  HMODULE usbd = LoadLibraryW(u"usbd.dll");
  if (!usbd) return FALSE;
  auto unregisterSettings = UsbdFunction<LPUN_REGISTER_CLIENT_SETTINGS>(usbd, u"UnRegisterClientSettings");
  auto unregisterId = UsbdFunction<LPUN_REGISTER_CLIENT_DRIVER_ID>(usbd, u"UnRegisterClientDriverID");
  const USB_DRIVER_SETTINGS settings = VendorSettings();
  const BOOL unregistered = unregisterSettings && unregisterId && unregisterSettings(kDriverId, nullptr, &settings) &&
                            unregisterId(kDriverId);
  FreeLibrary(usbd);
  std::lock_guard lock(State().mutex);
  ++State().uninstalls;
  return unregistered;
}

extern "C" BOOL USBDeviceAttach(USB_HANDLE device, LPCUSB_FUNCS funcs, LPCUSB_INTERFACE interface,
                                LPCWSTR uniqueDriverId, LPBOOL acceptControl, LPCUSB_DRIVER_SETTINGS settings,
                                DWORD /*reserved*/) {
  *acceptControl = FALSE;
  {
    std::lock_guard lock(State().mutex);
    State().attachments.push_back({device, funcs, interface, uniqueDriverId, *settings, State().accept});
    if (!State().accept) return FALSE;
  }
  if (!funcs->RegisterNotificationRoutine(device, &DeviceNotify, device)) return FALSE;
  *acceptControl = TRUE;
  return TRUE;
}
