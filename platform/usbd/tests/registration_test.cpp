// Which client drivers a device is offered to: settings matching, the registry of
// client drivers, and the registration functions as a driver reaches them.
#include <gtest/gtest.h>

#include "client_registry.h"
#include "platform/winbase.h"
#include "settings_match.h"
#include "test_backend.h"

namespace usbtest {
namespace {

using usbhost::ClientRegistration;
using usbhost::ClientRegistry;
using usbhost::MatchSettings;

USB_DRIVER_SETTINGS AnySettings() {
  return {sizeof(USB_DRIVER_SETTINGS),
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO,
          USB_NO_INFO};
}

USB_DRIVER_SETTINGS VendorSettings(DWORD vendor) {
  USB_DRIVER_SETTINGS settings = AnySettings();
  settings.dwVendorId = vendor;
  return settings;
}

// A second interface (number 1) of class 0x0E, so interface-level settings have a choice.
usbhost::DeviceModel TwoInterfaceModel() {
  usbhost::DeviceModel model = CameraLikeModel(0x0AC8);
  model.interfaces.push_back({{9, USB_INTERFACE_DESCRIPTOR_TYPE, 1, 0, 0, 0x0E, 0x02, 0x01, 0}, {}});
  return model;
}

TEST(SettingsMatch, NoInfoInEveryFieldMatchesAnyDeviceWithoutNamingAnInterface) {
  for (WORD vendor : {0x0000, 0x0AC8, 0xFFFF}) {
    const auto match = MatchSettings(AnySettings(), CameraLikeModel(vendor));
    EXPECT_TRUE(match.matches) << vendor;
    EXPECT_FALSE(match.interfaceNumber.has_value());
  }
}

TEST(SettingsMatch, EachDeviceFieldThatIsGivenMustBeEqual) {
  const usbhost::DeviceModel model = CameraLikeModel(0x0AC8);  // product 1, release 0x0100, class 0xFF
  EXPECT_TRUE(MatchSettings(VendorSettings(0x0AC8), model).matches);
  EXPECT_FALSE(MatchSettings(VendorSettings(0x0AC9), model).matches);

  USB_DRIVER_SETTINGS settings = VendorSettings(0x0AC8);
  settings.dwProductId = 2;
  EXPECT_FALSE(MatchSettings(settings, model).matches);
  settings.dwProductId = 1;
  settings.dwReleaseNumber = 0x0100;
  settings.dwDeviceClass = 0xFF;
  EXPECT_TRUE(MatchSettings(settings, model).matches);
  settings.dwDeviceProtocol = 7;
  EXPECT_FALSE(MatchSettings(settings, model).matches);
}

TEST(SettingsMatch, InterfaceFieldsSelectTheInterfaceWhoseDefaultSettingMatches) {
  USB_DRIVER_SETTINGS settings = AnySettings();
  settings.dwInterfaceClass = 0x0E;
  const auto match = MatchSettings(settings, TwoInterfaceModel());
  ASSERT_TRUE(match.matches);
  EXPECT_EQ(match.interfaceNumber, 1);

  settings.dwInterfaceProtocol = 0x02;  // interface 1 speaks protocol 1
  EXPECT_FALSE(MatchSettings(settings, TwoInterfaceModel()).matches);
}

TEST(SettingsMatch, OnlyDefaultSettingsOfInterfacesAreConsidered) {
  usbhost::DeviceModel model = CameraLikeModel(0x0AC8);
  model.interfaces[1].descriptor.bInterfaceClass = 0x0E;  // alternate setting 1 only
  USB_DRIVER_SETTINGS settings = AnySettings();
  settings.dwInterfaceClass = 0x0E;
  EXPECT_FALSE(MatchSettings(settings, model).matches);
}

class ClientRegistryTest : public ::testing::Test {
 protected:
  DWORD Add(const std::u16string& library, const std::u16string& id, const USB_DRIVER_SETTINGS& settings) {
    return registry.AddSettings(ClientRegistration{library, id, std::nullopt, settings});
  }
  ClientRegistry registry;
};

TEST_F(ClientRegistryTest, SettingsNeedAKnownDriverIdAndAWellFormedRecord) {
  EXPECT_EQ(Add(u"a.dll", u"A", AnySettings()), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(registry.AddDriverId(u"A"), static_cast<DWORD>(ERROR_SUCCESS));
  USB_DRIVER_SETTINGS truncated = AnySettings();
  truncated.dwCount = 36;
  EXPECT_EQ(Add(u"a.dll", u"A", truncated), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Add(u"", u"A", AnySettings()), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(registry.AddDriverId(u""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Add(u"a.dll", u"a", AnySettings()), static_cast<DWORD>(ERROR_SUCCESS)) << "ids ignore case";
  EXPECT_EQ(registry.OffersFor(CameraLikeModel(1)).size(), 1u);
}

TEST_F(ClientRegistryTest, MoreSpecificSettingsAreOfferedFirst) {
  registry.AddDriverId(u"GENERIC");
  registry.AddDriverId(u"VENDOR");
  registry.AddDriverId(u"PRODUCT");
  USB_DRIVER_SETTINGS product = VendorSettings(0x0AC8);
  product.dwProductId = 1;
  ASSERT_EQ(Add(u"generic.dll", u"GENERIC", AnySettings()), 0u);
  ASSERT_EQ(Add(u"vendor.dll", u"VENDOR", VendorSettings(0x0AC8)), 0u);
  ASSERT_EQ(Add(u"product.dll", u"PRODUCT", product), 0u);
  ASSERT_EQ(Add(u"other.dll", u"VENDOR", VendorSettings(0x1111)), 0u);

  const auto offers = registry.OffersFor(CameraLikeModel(0x0AC8));
  ASSERT_EQ(offers.size(), 3u);
  EXPECT_EQ(offers[0].registration->libraryFile, u"product.dll");
  EXPECT_EQ(offers[1].registration->libraryFile, u"vendor.dll");
  EXPECT_EQ(offers[2].registration->libraryFile, u"generic.dll");
}

TEST_F(ClientRegistryTest, RegisteringTheSameSettingsAgainReplacesTheLibrary) {
  registry.AddDriverId(u"A");
  ASSERT_EQ(Add(u"old.dll", u"A", VendorSettings(5)), 0u);
  ASSERT_EQ(Add(u"new.dll", u"A", VendorSettings(5)), 0u);
  const auto offers = registry.OffersFor(CameraLikeModel(5));
  ASSERT_EQ(offers.size(), 1u);
  EXPECT_EQ(offers[0].registration->libraryFile, u"new.dll");
}

TEST_F(ClientRegistryTest, UnregisteringRemovesOnlyWhatWasRegistered) {
  registry.AddDriverId(u"A");
  ASSERT_EQ(Add(u"a.dll", u"A", VendorSettings(5)), 0u);
  EXPECT_EQ(registry.RemoveSettings(u"A", std::nullopt, VendorSettings(6)), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(registry.RemoveSettings(u"A", u"key", VendorSettings(5)), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(registry.OffersFor(CameraLikeModel(5)).size(), 1u);
  EXPECT_EQ(registry.RemoveSettings(u"A", std::nullopt, VendorSettings(5)), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(registry.OffersFor(CameraLikeModel(5)).empty());
}

TEST_F(ClientRegistryTest, UnregisteringTheDriverIdDropsItsSettings) {
  registry.AddDriverId(u"A");
  ASSERT_EQ(Add(u"a.dll", u"A", VendorSettings(5)), 0u);
  EXPECT_EQ(registry.RemoveDriverId(u"A"), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(registry.OffersFor(CameraLikeModel(5)).empty());
  EXPECT_EQ(registry.RemoveDriverId(u"A"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Add(u"a.dll", u"A", VendorSettings(5)), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The registration functions as a client driver reaches them: by name in "usbd.dll".
class UsbdModule : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(usbd, nullptr); }
  void TearDown() override { FreeLibrary(usbd); }

  template <class Function>
  Function Get(const char16_t* name) {
    return reinterpret_cast<Function>(GetProcAddressW(usbd, name));
  }
  HMODULE usbd = LoadLibraryW(u"usbd.dll");
};

TEST_F(UsbdModule, ExportsTheFourRegistrationFunctionsByName) {
  EXPECT_NE(Get<FARPROC>(u"RegisterClientDriverID"), nullptr);
  EXPECT_NE(Get<FARPROC>(u"RegisterClientSettings"), nullptr);
  EXPECT_NE(Get<FARPROC>(u"UnRegisterClientSettings"), nullptr);
  EXPECT_NE(Get<FARPROC>(u"UnRegisterClientDriverID"), nullptr);
  EXPECT_EQ(Get<FARPROC>(u"RegisterClientDriver"), nullptr);
}

TEST_F(UsbdModule, BadArgumentsFailWithALastError) {
  auto registerId = Get<LPREGISTER_CLIENT_DRIVER_ID>(u"RegisterClientDriverID");
  auto registerSettings = Get<LPREGISTER_CLIENT_SETTINGS>(u"RegisterClientSettings");
  auto unregisterSettings = Get<LPUN_REGISTER_CLIENT_SETTINGS>(u"UnRegisterClientSettings");
  auto unregisterId = Get<LPUN_REGISTER_CLIENT_DRIVER_ID>(u"UnRegisterClientDriverID");
  ASSERT_TRUE(registerId && registerSettings && unregisterSettings && unregisterId);

  SetLastError(0);
  EXPECT_FALSE(registerId(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_FALSE(registerSettings(u"x.dll", u"REGTEST", nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  const USB_DRIVER_SETTINGS settings = VendorSettings(0x7777);
  SetLastError(0);
  EXPECT_FALSE(registerSettings(u"x.dll", u"NEVER-REGISTERED", nullptr, &settings));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(0);
  EXPECT_FALSE(unregisterId(u"NEVER-REGISTERED"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  EXPECT_TRUE(registerId(u"REGTEST"));
  EXPECT_TRUE(registerSettings(u"x.dll", u"REGTEST", nullptr, &settings));
  EXPECT_TRUE(unregisterSettings(u"REGTEST", nullptr, &settings));
  EXPECT_FALSE(unregisterSettings(u"REGTEST", nullptr, &settings));
  EXPECT_TRUE(unregisterId(u"REGTEST"));
}

}  // namespace
}  // namespace usbtest
