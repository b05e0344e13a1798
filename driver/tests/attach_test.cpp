// Which devices the driver takes, clean-up when attach fails half-way, finding records
// through the active key, and the registration with USBD.

#include <gtest/gtest.h>

#include <vector>

#include "device/driver_identity.h"
#include "device/registry_values.h"
#include "driver_test_support.h"
#include "platform/builtin_modules.h"
#include "platform/windows.h"
#include "usb/usb_attach.h"
#include "velmar/velmar.h"

namespace {

using drvtest::PluggedCamera;

// Descriptors served through GetDeviceInfo and FindInterface of a hand-made table.
struct DescribedDevice {
  static inline USB_CONFIGURATION configuration{};
  static inline USB_DEVICE device{};
  static inline bool hasInfo = true;
  static inline std::vector<USB_ENDPOINT> endpoints;
  static inline std::vector<USB_INTERFACE> interfaces;

  static void Describe(WORD vendor, BYTE interfaceCount) {
    hasInfo = true;
    endpoints.clear();
    endpoints.reserve(16);
    interfaces.clear();
    configuration = {};
    configuration.Descriptor.bNumInterfaces = interfaceCount;
    device = {};
    device.Descriptor.idVendor = vendor;
    device.lpActiveConfig = &configuration;
  }
  static void AddSetting(BYTE number, BYTE setting, BYTE address, BYTE attributes, WORD packetSize) {
    endpoints.push_back(
        {sizeof(USB_ENDPOINT), {7, USB_ENDPOINT_DESCRIPTOR_TYPE, address, attributes, packetSize, 1}, nullptr});
    USB_INTERFACE interface {};
    interface.Descriptor.bInterfaceNumber = number;
    interface.Descriptor.bAlternateSetting = setting;
    interface.Descriptor.bNumEndpoints = 1;
    interface.lpEndpoints = &endpoints.back();
    interfaces.push_back(interface);
  }

  static LPCUSB_DEVICE Info(USB_HANDLE) { return hasInfo ? &device : nullptr; }
  static LPCUSB_INTERFACE Find(LPCUSB_DEVICE, UCHAR number, UCHAR setting) {
    for (const USB_INTERFACE& interface : interfaces) {
      if (interface.Descriptor.bInterfaceNumber == number && interface.Descriptor.bAlternateSetting == setting) {
        return &interface;
      }
    }
    return nullptr;
  }
  static USB_FUNCS Table() {
    USB_FUNCS funcs{};
    funcs.dwCount = sizeof funcs;
    funcs.GetDeviceInfo = &Info;
    funcs.FindInterface = &Find;
    return funcs;
  }
};

constexpr BYTE kIsochIn = 0x81;
constexpr BYTE kIsochronous = 0x01;
constexpr BYTE kBulk = 0x02;

class SupportedCameraTest : public ::testing::Test {
 protected:
  int Check() { return IsSupportedCamera(reinterpret_cast<USB_HANDLE>(7), &funcs_); }
  USB_FUNCS funcs_ = DescribedDevice::Table();
};

TEST_F(SupportedCameraTest, IsochronousInEndpointInAnySettingFrom1To7) {
  DescribedDevice::Describe(0x0AC8, 2);
  DescribedDevice::AddSetting(0, 0, kIsochIn, kIsochronous, 512);
  DescribedDevice::AddSetting(1, 3, kIsochIn, kIsochronous, 1023);
  EXPECT_EQ(Check(), 0);
}

TEST_F(SupportedCameraTest, RefusesOtherDevices) {
  DescribedDevice::Describe(0x0AC8, 1);
  DescribedDevice::hasInfo = false;
  EXPECT_EQ(Check(), -2);

  DescribedDevice::Describe(0x1234, 1);
  DescribedDevice::AddSetting(0, 1, kIsochIn, kIsochronous, 512);
  EXPECT_EQ(Check(), -1);

  DescribedDevice::Describe(0x0AC8, 1);
  DescribedDevice::AddSetting(0, 0, kIsochIn, kIsochronous, 512);  // setting 0 is not searched
  DescribedDevice::AddSetting(0, 1, kIsochIn, kIsochronous, 1024);
  DescribedDevice::AddSetting(0, 2, 0x01, kIsochronous, 512);  // OUT
  DescribedDevice::AddSetting(0, 3, kIsochIn, kBulk, 512);
  DescribedDevice::AddSetting(1, 4, kIsochIn, kIsochronous, 512);  // interface 1 is not in the configuration
  EXPECT_EQ(Check(), -1);
}

TEST_F(SupportedCameraTest, RefusedDeviceIsNotTakenAndNothingStays) {
  DescribedDevice::Describe(0x1234, 1);
  DescribedDevice::AddSetting(0, 1, kIsochIn, kIsochronous, 512);
  const size_t keys = drvtest::ActiveKeyCount();
  BOOL accepted = TRUE;
  EXPECT_FALSE(USBDeviceAttach(reinterpret_cast<USB_HANDLE>(7), &funcs_, nullptr, u"VELMAR", &accepted, nullptr, 0));
  EXPECT_FALSE(accepted);
  EXPECT_EQ(drvtest::ActiveKeyCount(), keys);
  EXPECT_FALSE(USBDeviceAttach(reinterpret_cast<USB_HANDLE>(7), &funcs_, nullptr, u"VELMAR", nullptr, nullptr, 0));
  accepted = TRUE;
  EXPECT_FALSE(USBDeviceAttach(reinterpret_cast<USB_HANDLE>(7), nullptr, nullptr, u"VELMAR", &accepted, nullptr, 0));
  EXPECT_FALSE(accepted);
}

class AttachTest : public ::testing::Test {
 protected:
  void SetUp() override { drvtest::ClearPortNames(); }
};

TEST_F(AttachTest, CamerasWithoutAUsableEndpointAreNotTaken) {
  for (const char* options :
       {"timing=fast,endpoint=setting0", "timing=fast,packets=1024", "timing=fast,vendor=0x1234"}) {
    PluggedCamera camera(options);
    EXPECT_EQ(camera.Device(), nullptr) << options;
    EXPECT_EQ(drvtest::ActiveKeyCount(), 0u) << options;
    EXPECT_EQ(camera.Log(), "") << options;
  }
}

BOOL RefuseNotification(USB_HANDLE, LPDEVICE_NOTIFY_ROUTINE, LPVOID) { return FALSE; }

TEST_F(AttachTest, FailedNotificationRegistrationDeactivatesAndReleasesEverything) {
  PluggedCamera camera("timing=fast,sensor=2");
  VlmDevice* first = camera.Device();
  ASSERT_NE(first, nullptr);
  USB_FUNCS funcs = *first->usbFuncs;
  funcs.RegisterNotificationRoutine = &RefuseNotification;

  BOOL accepted = TRUE;
  EXPECT_FALSE(USBDeviceAttach(first->usbDevice, &funcs, nullptr, u"VELMAR", &accepted, nullptr, 0));
  EXPECT_FALSE(accepted);
  // The second stream device came and went: its key, its port and its record are gone.
  EXPECT_EQ(drvtest::ActiveKeyCount(), 1u);
  EXPECT_EQ(drvtest::ActiveRecords(), std::vector<VlmDevice*>{first});
  EXPECT_EQ(drvtest::PortName(1), u"VLM1:");
  EXPECT_EQ(drvtest::PortName(2), u"");
}

TEST_F(AttachTest, RemovalActsOnlyOnTheCloseNotification) {
  PluggedCamera camera("timing=fast,sensor=2");
  VlmDevice* device = camera.Device();
  ASSERT_NE(device, nullptr);
  for (DWORD code : {0u, 2u, 3u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(DeviceNotify(device, code, nullptr, nullptr, nullptr, nullptr)) << code;
    ASSERT_TRUE(IsValidDevice(device)) << code;
    EXPECT_FALSE(device->removed) << code;
  }
  EXPECT_EQ(drvtest::ActiveKeyCount(), 1u);
  HANDLE handle = drvtest::OpenStream(camera.StreamName());
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(AttachTest, ActiveKeyMustPointAtALiveRecord) {
  const char16_t* key = u"VELMAR\\TestActive";
  const char notARecord[64] = "USBP";
  const auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(notARecord));
  const char16_t name[] = u"VLM7:";
  const RegistryValue values[] = {{u"Name", REG_SZ, 0, name}, {nullptr, 0, 0, nullptr}};
  ASSERT_TRUE(WriteRegistryValues(key, values, TRUE));
  HKEY handle = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &handle), ERROR_SUCCESS);
  RegSetValueExW(handle, u"ClientInfo", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&address), sizeof address);

  EXPECT_EQ(FindContextByActiveKey(key), nullptr);
  EXPECT_EQ(VLM_Init(key), 0u);
  EXPECT_EQ(drvtest::PortName(1), u"");  // no registry change

  // A live record behind a 32-bit value is not trusted either: the address must be whole.
  PluggedCamera camera("timing=fast,sensor=2");
  ASSERT_NE(camera.Device(), nullptr);
  const auto live = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(camera.Device()));
  RegSetValueExW(handle, u"ClientInfo", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&live), sizeof live);
  EXPECT_EQ(FindContextByActiveKey(key), camera.Device());
  const auto truncated = static_cast<DWORD>(live);
  RegSetValueExW(handle, u"ClientInfo", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&truncated), sizeof truncated);
  EXPECT_EQ(FindContextByActiveKey(key), nullptr);
  RegCloseKey(handle);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);

  EXPECT_EQ(FindContextByActiveKey(u"VELMAR\\NoSuchKey"), nullptr);
  EXPECT_EQ(FindContextByActiveKey(nullptr), nullptr);
}

TEST(RegistryValuesTest, SizesFollowTheType) {
  const char16_t* key = u"VELMAR\\TestValues";
  const DWORD number = 0x01020304;
  const char16_t multi[] = u"ab\0cde\0";
  const RegistryValue values[] = {{u"Text", REG_SZ, 0, u"hello"},
                                  {u"Number", REG_DWORD, 0, &number},
                                  {u"List", REG_MULTI_SZ, 0, multi},
                                  {nullptr, 0, 0, nullptr}};
  ASSERT_TRUE(WriteRegistryValues(key, values, TRUE));
  HKEY handle = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle), ERROR_SUCCESS);
  BYTE data[64];
  DWORD size = sizeof data;
  EXPECT_EQ(RegQueryValueExW(handle, u"Text", nullptr, nullptr, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 12u);
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExW(handle, u"Number", nullptr, nullptr, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExW(handle, u"List", nullptr, nullptr, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 16u);  // (3 + 4 + 1) characters
  RegCloseKey(handle);

  // An existing key is kept as it is unless overwriting is asked for.
  const RegistryValue changed[] = {{u"Text", REG_SZ, 0, u"changed"}, {nullptr, 0, 0, nullptr}};
  EXPECT_TRUE(WriteRegistryValues(key, changed, FALSE));
  EXPECT_EQ(drvtest::RegistryText(key, u"Text"), u"hello");
  EXPECT_TRUE(WriteRegistryValues(key, changed, TRUE));
  EXPECT_EQ(drvtest::RegistryText(key, u"Text"), u"changed");

  const RegistryValue binary[] = {{u"Blob", REG_BINARY, 4, &number}, {nullptr, 0, 0, nullptr}};
  EXPECT_FALSE(WriteRegistryValues(key, binary, TRUE));
  for (const char16_t* name : {u"Text", u"Number", u"List"}) {
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &handle), ERROR_SUCCESS);
    RegDeleteValueW(handle, name);
    RegCloseKey(handle);
  }
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
}

// "usbd.dll" with only some of its registration functions, standing in for the real one
// while a test runs.
class PartialUsbd : public ::testing::Test {
 protected:
  static inline int driverIdCalls = 0;
  static inline int settingsCalls = 0;
  static inline BOOL unregisterSettingsResult = TRUE;
  static inline bool offerUnregisterSettings = true;
  static inline bool offerUnregisterDriverId = true;

  static BOOL RegisterDriverId(LPCWSTR) { return ++driverIdCalls, TRUE; }
  static BOOL RegisterSettings(LPCWSTR, LPCWSTR, LPCWSTR, LPCUSB_DRIVER_SETTINGS settings) {
    ++settingsCalls;
    return settings->dwVendorId == 0x0AC8 && settings->dwProductId == USB_NO_INFO;
  }
  static BOOL UnregisterSettings(LPCWSTR, LPCWSTR, LPCUSB_DRIVER_SETTINGS) { return unregisterSettingsResult; }
  static BOOL UnregisterDriverId(LPCWSTR) { return TRUE; }

  static FARPROC WithoutRegisterSettings(std::string_view name) {
    if (name == "RegisterClientDriverID") return reinterpret_cast<FARPROC>(&RegisterDriverId);
    return nullptr;
  }
  static FARPROC Complete(std::string_view name) {
    if (name == "RegisterClientDriverID") return reinterpret_cast<FARPROC>(&RegisterDriverId);
    if (name == "RegisterClientSettings") return reinterpret_cast<FARPROC>(&RegisterSettings);
    if (name == "UnRegisterClientSettings" && offerUnregisterSettings)
      return reinterpret_cast<FARPROC>(&UnregisterSettings);
    if (name == "UnRegisterClientDriverID" && offerUnregisterDriverId)
      return reinterpret_cast<FARPROC>(&UnregisterDriverId);
    return nullptr;
  }

  void SetUp() override {
    original_ = FindBuiltinModule(u"usbd.dll");
    ASSERT_NE(original_, nullptr);
    driverIdCalls = settingsCalls = 0;
    unregisterSettingsResult = TRUE;
    offerUnregisterSettings = offerUnregisterDriverId = true;
  }
  void TearDown() override { RegisterBuiltinModule(u"usbd.dll", original_); }

  BuiltinExportLookup original_ = nullptr;
};

TEST_F(PartialUsbd, InstallNeedsBothRegistrationFunctions) {
  RegisterBuiltinModule(u"usbd.dll", &WithoutRegisterSettings);
  EXPECT_FALSE(USBInstallDriver(u"VELMAR.DLL"));
  EXPECT_EQ(driverIdCalls, 0);

  // Values left by an earlier installation are overwritten.
  const RegistryValue stale[] = {{u"Dll", REG_SZ, 0, u"OLD.DLL"}, {nullptr, 0, 0, nullptr}};
  ASSERT_TRUE(WriteRegistryValues(kDriverKeyPath, stale, TRUE));
  RegisterBuiltinModule(u"usbd.dll", &Complete);
  EXPECT_TRUE(USBInstallDriver(u"VELMAR.DLL"));
  EXPECT_EQ(driverIdCalls, 1);
  EXPECT_EQ(settingsCalls, 1);
  EXPECT_EQ(drvtest::RegistryText(kDriverKeyPath, u"Dll"), u"VELMAR.DLL");
}

TEST_F(PartialUsbd, UninstallReportsWhatItCouldCall) {
  RegisterBuiltinModule(u"usbd.dll", &Complete);
  offerUnregisterDriverId = false;
  unregisterSettingsResult = FALSE;
  EXPECT_FALSE(USBUnInstallDriver());
  unregisterSettingsResult = TRUE;
  EXPECT_TRUE(USBUnInstallDriver());

  // With both functions, a failed settings removal fails the whole.
  offerUnregisterDriverId = true;
  unregisterSettingsResult = FALSE;
  EXPECT_FALSE(USBUnInstallDriver());
  unregisterSettingsResult = TRUE;

  offerUnregisterSettings = false;
  EXPECT_TRUE(USBUnInstallDriver());
  // The client driver key stays behind.
  EXPECT_EQ(drvtest::RegistryText(kDriverKeyPath, u"Prefix"), u"VLM");
}

}  // namespace
