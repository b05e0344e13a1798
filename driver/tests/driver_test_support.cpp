#include "driver_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string_view>

#include "platform/builtin_modules.h"
#include "platform/cestring.h"
#include "usb/usb_attach.h"
#include "velmar/velmar.h"
#include "platform/windows.h"

namespace drvtest {
namespace {

template <typename Function>
FARPROC AsProc(Function function) {
  return reinterpret_cast<FARPROC>(function);
}

FARPROC DriverExport(std::string_view name) {
  static const std::map<std::string_view, FARPROC> exports = {
      {"USBInstallDriver", AsProc(&USBInstallDriver)}, {"USBUnInstallDriver", AsProc(&USBUnInstallDriver)},
      {"USBDeviceAttach", AsProc(&USBDeviceAttach)},   {"VLM_Init", AsProc(&VLM_Init)},
      {"VLM_Deinit", AsProc(&VLM_Deinit)},             {"VLM_Open", AsProc(&VLM_Open)},
      {"VLM_Close", AsProc(&VLM_Close)},               {"VLM_Read", AsProc(&VLM_Read)},
      {"VLM_Write", AsProc(&VLM_Write)},               {"VLM_Seek", AsProc(&VLM_Seek)},
      {"VLM_PowerUp", AsProc(&VLM_PowerUp)},           {"VLM_PowerDown", AsProc(&VLM_PowerDown)},
      {"VLM_IOControl", AsProc(&VLM_IOControl)},
  };
  auto found = exports.find(name);
  return found == exports.end() ? nullptr : found->second;
}

// Installs the in-process driver once for the whole test program and shuts the USB
// host down at its end.
class DriverEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    RegisterBuiltinModule(u"VELMAR.DLL", &DriverExport);
    std::string error;
    ASSERT_TRUE(usbhost::InstallClientDriver(u"VELMAR.DLL", error)) << error;
  }
  void TearDown() override { usbhost::ShutdownHost(); }
};

[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new DriverEnvironment);

constexpr const char16_t* kActiveKey = u"\\Drivers\\Active";
constexpr const char16_t* kPortsKey = u"VELMAR\\Ports";

std::vector<std::u16string> ActiveKeyPaths() {
  std::vector<std::u16string> paths;
  HKEY active = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kActiveKey, 0, KEY_READ, &active) != ERROR_SUCCESS) return paths;
  for (DWORD i = 0;; ++i) {
    WCHAR name[64] = {};
    DWORD length = 64;
    if (RegEnumKeyExW(active, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    paths.push_back(std::u16string(kActiveKey) + u"\\" + name);
  }
  RegCloseKey(active);
  return paths;
}

std::u16string PortValueName(int number) { return u"Port" + Utf8ToUtf16(std::to_string(number)); }

}  // namespace

std::vector<VlmDevice*> ActiveRecords() {
  std::vector<VlmDevice*> records;
  for (const std::u16string& path : ActiveKeyPaths()) {
    if (VlmDevice* device = FindContextByActiveKey(path.c_str())) records.push_back(device);
  }
  return records;
}

size_t ActiveKeyCount() { return ActiveKeyPaths().size(); }

std::u16string RegistryText(const std::u16string& keyPath, const std::u16string& valueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  WCHAR text[261] = {};
  DWORD size = 520;
  DWORD type = 0;
  const LONG status = RegQueryValueExW(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? std::u16string(text) : std::u16string();
}

void ClearPortNames() {
  HKEY ports = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_ALL_ACCESS, &ports) != ERROR_SUCCESS) return;
  for (int n = 1; n <= 9; ++n) RegDeleteValueW(ports, PortValueName(n).c_str());
  RegCloseKey(ports);
}

void SetPortName(int number, const std::u16string& deviceName) {
  HKEY ports = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &ports,
                            &disposition),
            ERROR_SUCCESS);
  RegSetValueExW(ports, PortValueName(number).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(deviceName.c_str()),
                 static_cast<DWORD>((deviceName.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(ports);
}

std::u16string PortName(int number) { return RegistryText(kPortsKey, PortValueName(number)); }

PluggedCamera::PluggedCamera(const std::string& options) {
  std::string error;
  camera_ = emucam::EmulatedCamera::Create(options, error);
  if (!camera_) {
    ADD_FAILURE() << "emulated camera '" << options << "': " << error;
    return;
  }
  const std::vector<VlmDevice*> before = ActiveRecords();
  id_ = usbhost::PlugDevice(camera_);
  for (const std::u16string& path : ActiveKeyPaths()) {
    VlmDevice* device = FindContextByActiveKey(path.c_str());
    if (device == nullptr || std::find(before.begin(), before.end(), device) != before.end()) continue;
    device_ = device;
    streamName_ = RegistryText(path, u"Name");
  }
}

PluggedCamera::~PluggedCamera() { Unplug(); }

void PluggedCamera::Unplug() {
  if (id_ != 0) usbhost::UnplugDevice(id_);
  id_ = 0;
}

std::string PluggedCamera::Log() const { return emucam::FormatRequests(camera_->RequestLog(), true); }

HANDLE OpenStream(const std::u16string& name) {
  return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace drvtest
