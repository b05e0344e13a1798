// The device configuration string: its syntax and plugging the devices it names.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_config.h"
#include "test_backend.h"
#include "usbhost/usbhost.h"

namespace usbtest {
namespace {

TEST(DeviceConfigSyntax, EntriesAreSplitAtSemicolonsAndTheFirstColon) {
  std::string error;
  const auto entries = usbhost::ParseDeviceConfig(" emu ; cam:sensor=12,url=a:b ;; ", error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].scheme, "emu");
  EXPECT_EQ((*entries)[0].options, "");
  EXPECT_EQ((*entries)[1].scheme, "cam");
  EXPECT_EQ((*entries)[1].options, "sensor=12,url=a:b");
  EXPECT_EQ((*entries)[1].text, "cam:sensor=12,url=a:b");
}

TEST(DeviceConfigSyntax, AnEmptyConfigurationNamesNoDevice) {
  std::string error;
  const auto entries = usbhost::ParseDeviceConfig("  ", error);
  ASSERT_TRUE(entries);
  EXPECT_TRUE(entries->empty());
}

TEST(DeviceConfigSyntax, AnEntryWithoutSchemeIsAnError) {
  std::string error;
  EXPECT_FALSE(usbhost::ParseDeviceConfig("emu; :sensor=3", error));
  EXPECT_NE(error.find(":sensor=3"), std::string::npos) << error;
}

// A scheme whose options are the vendor id in hex; "fail" makes the factory refuse.
class PlugFromConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    usbhost::RegisterBackendFactory("cfgtest", [this](std::string_view options, std::string& error) {
      if (options == "fail") {
        error = "no such camera";
        return std::shared_ptr<usbhost::DeviceBackend>();
      }
      const auto vendor = static_cast<WORD>(std::stoul(std::string(options), nullptr, 16));
      auto backend = std::make_shared<TestBackend>(CameraLikeModel(vendor));
      made.push_back(backend);
      return std::shared_ptr<usbhost::DeviceBackend>(backend);
    });
    before = usbhost::PluggedDevices();
  }

  void TearDown() override {
    for (usbhost::DeviceId id : NewDevices()) usbhost::UnplugDevice(id);
  }

  std::vector<usbhost::DeviceId> NewDevices() const {
    std::vector<usbhost::DeviceId> added;
    for (usbhost::DeviceId id : usbhost::PluggedDevices()) {
      if (std::ranges::find(before, id) == before.end()) added.push_back(id);
    }
    return added;
  }

  std::vector<std::shared_ptr<TestBackend>> made;
  std::vector<usbhost::DeviceId> before;
};

TEST_F(PlugFromConfig, PlugsEveryDeviceInOrderWithItsOptions) {
  std::string error;
  ASSERT_TRUE(usbhost::PlugDevicesFromConfig("cfgtest:1111;cfgtest:2222", error)) << error;
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0]->Describe().device.idVendor, 0x1111);
  EXPECT_EQ(made[1]->Describe().device.idVendor, 0x2222);
  EXPECT_EQ(NewDevices().size(), 2u);
}

TEST_F(PlugFromConfig, AnUnknownSchemeUnplugsWhatWasAlreadyPlugged) {
  std::string error;
  EXPECT_FALSE(usbhost::PlugDevicesFromConfig("cfgtest:1111;nosuch:x", error));
  EXPECT_NE(error.find("unknown device scheme 'nosuch'"), std::string::npos) << error;
  ASSERT_EQ(made.size(), 1u);
  EXPECT_TRUE(made[0]->Disconnected());
  EXPECT_TRUE(NewDevices().empty());
}

TEST_F(PlugFromConfig, AFactoryRefusalIsReportedWithItsReason) {
  std::string error;
  EXPECT_FALSE(usbhost::PlugDevicesFromConfig("cfgtest:1111;cfgtest:fail", error));
  EXPECT_NE(error.find("cfgtest:fail"), std::string::npos) << error;
  EXPECT_NE(error.find("no such camera"), std::string::npos) << error;
  EXPECT_TRUE(NewDevices().empty());
}

TEST_F(PlugFromConfig, ASyntaxErrorPlugsNothing) {
  std::string error;
  EXPECT_FALSE(usbhost::PlugDevicesFromConfig("cfgtest:1111;:1111", error));
  EXPECT_TRUE(made.empty());
  EXPECT_TRUE(NewDevices().empty());
}

// A scheme standing for several devices: "cfgmulti:N" makes N of them.
class PlugManyFromConfig : public PlugFromConfig {
 protected:
  void SetUp() override {
    PlugFromConfig::SetUp();
    usbhost::RegisterMultiBackendFactory(
        "cfgmulti", [this](std::string_view options, std::string&) -> std::optional<usbhost::Backends> {
          usbhost::Backends backends;
          for (int i = 0; i < std::stoi(std::string(options)); ++i) {
            made.push_back(std::make_shared<TestBackend>(CameraLikeModel(static_cast<WORD>(0x3000 + i))));
            backends.push_back(made.back());
          }
          return backends;
        });
  }
};

TEST_F(PlugManyFromConfig, EveryDeviceOfTheEntryIsPluggedAndNoneIsNoError) {
  std::string error;
  ASSERT_TRUE(usbhost::PlugDevicesFromConfig("cfgmulti:0;cfgmulti:3;cfgtest:1111", error)) << error;
  ASSERT_EQ(made.size(), 4u);
  EXPECT_EQ(NewDevices().size(), 4u);
  EXPECT_EQ(made[2]->Describe().device.idVendor, 0x3002);
}

TEST_F(PlugManyFromConfig, ALaterFailureUnplugsEveryDeviceOfTheEntry) {
  std::string error;
  EXPECT_FALSE(usbhost::PlugDevicesFromConfig("cfgmulti:2;cfgtest:fail", error));
  ASSERT_EQ(made.size(), 2u);
  EXPECT_TRUE(made[0]->Disconnected());
  EXPECT_TRUE(made[1]->Disconnected());
  EXPECT_TRUE(NewDevices().empty());
}

}  // namespace
}  // namespace usbtest
