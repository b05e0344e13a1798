#include "driver_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string_view>

#include "platform/builtin_modules.h"
#include "platform/cestring.h"
#include "platform/windows.h"
#include "testing/booted_system.h"
#include "usb/usb_attach.h"
#include "velmar/velmar.h"

namespace drvtest {
namespace {

template <typename Function>
FARPROC AsProc(Function function) {
  return reinterpret_cast<FARPROC>(function);
}

std::atomic<int> initCalls{0};
std::atomic<int> initRefusals{0};

DWORD_PTR CountedInit(LPCWSTR activeKeyPath) {
  ++initCalls;
  const DWORD_PTR device = VLM_Init(activeKeyPath);
  if (device == 0) ++initRefusals;
  return device;
}

FARPROC DriverExport(std::string_view name) {
  static const std::map<std::string_view, FARPROC> exports = {
      {"USBInstallDriver", AsProc(&USBInstallDriver)},
      {"USBUnInstallDriver", AsProc(&USBUnInstallDriver)},
      {"USBDeviceAttach", AsProc(&USBDeviceAttach)},
      {"VLM_Init", AsProc(&CountedInit)},
      {"VLM_Deinit", AsProc(&VLM_Deinit)},
      {"VLM_Open", AsProc(&VLM_Open)},
      {"VLM_Close", AsProc(&VLM_Close)},
      {"VLM_Read", AsProc(&VLM_Read)},
      {"VLM_Write", AsProc(&VLM_Write)},
      {"VLM_Seek", AsProc(&VLM_Seek)},
      {"VLM_PowerUp", AsProc(&VLM_PowerUp)},
      {"VLM_PowerDown", AsProc(&VLM_PowerDown)},
      {"VLM_IOControl", AsProc(&VLM_IOControl)},
  };
  auto found = exports.find(name);
  return found == exports.end() ? nullptr : found->second;
}

// The system booted once for the whole test program, with the in-process driver.
[[maybe_unused]] auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new vtest::BootedSystem({.devices = "", .driver = &DriverExport}));

constexpr const char16_t* kPortsKey = u"VELMAR\\Ports";

std::u16string PortValueName(int number) { return u"Port" + Utf8ToUtf16(std::to_string(number)); }

struct TapState {
  std::mutex lock;
  std::condition_variable changed;
  LPCUSB_FUNCS host = nullptr;
  USB_FUNCS table{};
  std::vector<DWORD> vendorFlags;
  bool holdClose = false;
  bool closeWaiting = false;
};

TapState& Tap() {
  static TapState state;
  return state;
}

USB_TRANSFER TapVendorTransfer(USB_HANDLE device, LPTRANSFER_NOTIFY_ROUTINE routine, LPVOID context, DWORD flags,
                               const USB_DEVICE_REQUEST* setup, LPVOID buffer, ULONG physicalAddress) {
  TapState& tap = Tap();
  LPCUSB_FUNCS host = nullptr;
  {
    std::lock_guard guard(tap.lock);
    tap.vendorFlags.push_back(flags);
    host = tap.host;
  }
  return host->IssueVendorTransfer(device, routine, context, flags, setup, buffer, physicalAddress);
}

BOOL TapClosePipe(USB_PIPE pipe) {
  TapState& tap = Tap();
  std::unique_lock guard(tap.lock);
  if (tap.holdClose) {
    tap.holdClose = false;
    tap.closeWaiting = true;
    tap.changed.notify_all();
    tap.changed.wait(guard, [&] { return !tap.closeWaiting; });
  }
  LPCUSB_FUNCS host = tap.host;
  guard.unlock();
  return host->ClosePipe(pipe);
}

}  // namespace

InitCount InitCalls() { return {initCalls.load(), initRefusals.load()}; }

UsbTap::UsbTap(VlmDevice* device) : device_(device), original_(device->usbFuncs) {
  TapState& tap = Tap();
  std::lock_guard guard(tap.lock);
  tap.host = original_;
  tap.table = *original_;
  tap.table.IssueVendorTransfer = &TapVendorTransfer;
  tap.table.ClosePipe = &TapClosePipe;
  tap.vendorFlags.clear();
  tap.holdClose = false;
  tap.closeWaiting = false;
  device_->usbFuncs = &tap.table;
}

UsbTap::~UsbTap() {
  ReleasePipeClose();
  if (IsValidDevice(device_) && device_->usbFuncs == &Tap().table) device_->usbFuncs = original_;
}

std::vector<DWORD> UsbTap::VendorFlags() const {
  std::lock_guard guard(Tap().lock);
  return Tap().vendorFlags;
}

void UsbTap::HoldPipeClose() {
  std::lock_guard guard(Tap().lock);
  Tap().holdClose = true;
}

bool UsbTap::PipeCloseWaiting() const {
  std::lock_guard guard(Tap().lock);
  return Tap().closeWaiting;
}

void UsbTap::ReleasePipeClose() {
  TapState& tap = Tap();
  std::lock_guard guard(tap.lock);
  tap.holdClose = false;
  tap.closeWaiting = false;
  tap.changed.notify_all();
}

std::vector<VlmDevice*> ActiveRecords() {
  std::vector<VlmDevice*> records;
  for (const std::u16string& path : vtest::ActiveKeyPaths()) {
    if (VlmDevice* device = FindContextByActiveKey(path.c_str())) records.push_back(device);
  }
  return records;
}

size_t ActiveKeyCount() { return vtest::ActiveKeyPaths().size(); }

void ClearPortNames() {
  HKEY ports = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_ALL_ACCESS, &ports) != ERROR_SUCCESS) return;
  for (int n = 1; n <= 9; ++n) RegDeleteValueW(ports, PortValueName(n).c_str());
  RegCloseKey(ports);
}

void SetPortName(int number, const std::u16string& deviceName) {
  HKEY ports = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &ports, &disposition),
      ERROR_SUCCESS);
  RegSetValueExW(ports, PortValueName(number).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(deviceName.c_str()),
                 static_cast<DWORD>((deviceName.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(ports);
}

std::u16string PortName(int number) { return RegistryText(kPortsKey, PortValueName(number)); }

PluggedCamera::PluggedCamera(const std::string& options) : vtest::PluggedCamera(options) {
  if (!ActiveKey().empty()) device_ = FindContextByActiveKey(ActiveKey().c_str());
}

void PluggedCamera::Replug() {
  vtest::PluggedCamera::Replug();
  device_ = ActiveKey().empty() ? nullptr : FindContextByActiveKey(ActiveKey().c_str());
}

}  // namespace drvtest
