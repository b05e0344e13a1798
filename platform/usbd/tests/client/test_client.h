// A client driver for the host's tests, built as its own shared library and loaded by
// the host by name, like a real driver. It registers through "usbd.dll" for devices of
// kTestVendor and records everything the host tells it; the tests link it to read that.
#pragma once

#include <string>
#include <vector>

#include "usbhost/usbdi.h"

namespace testclient {

constexpr WORD kTestVendor = 0x1234;
inline constexpr char16_t kDriverId[] = u"USBDTEST";
inline constexpr char16_t kLibraryName[] = u"usbd_test_client.dll";

struct Attachment {
  USB_HANDLE device;
  LPCUSB_FUNCS funcs;
  LPCUSB_INTERFACE interface;
  std::u16string driverId;
  USB_DRIVER_SETTINGS settings;
  bool accepted;
};

// What the notification routine does besides recording the call.
enum class OnNotify {
  Record,
  WaitForRelease,  // blocks until ReleaseNotify (or 5 s)
  CallBack,        // calls GetDeviceInfo and IssueVendorTransfer on the departing device
};

struct Notification {
  USB_HANDLE device;
  DWORD code;
  BOOL deviceInfoFound;        // CallBack: GetDeviceInfo gave a record
  BOOL transferRefused;        // CallBack: IssueVendorTransfer gave no transfer...
  DWORD transferRefusedError;  // ...with this last error
};

int InstallCount();
int UninstallCount();
std::u16string InstalledLibraryName();
std::vector<Attachment> Attachments();  // every USBDeviceAttach call
std::vector<Notification> Notifications();
// Waits until the notification routine has been entered `count` times in all (at most 5 s).
bool WaitForNotifyEntered(size_t count);

void SetAccept(bool accept);
void SetOnNotify(OnNotify behaviour);
void ReleaseNotify();
// Forgets attachments and notifications and restores the default behaviour.
void Reset();

}  // namespace testclient
