// The configuration grammar, the count expansion of the device list, packet scripts
// and the request log's notation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "camera_test_support.h"

namespace emucam {
namespace {

using testing::MakeCamera;
using testing::ReadRegister;
using testing::WriteRegister;
using testing::WriteSensor;

TEST(Options, EmptyTextGivesTheDefaultCamera) {
  std::string error;
  const auto options = ParseCameraOptions("", error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->sensor, "2");
  EXPECT_EQ(options->framesPerSecond, 25u);
  EXPECT_EQ(options->timing, Timing::RealTime);
  EXPECT_TRUE(options->imageFile.empty());
  EXPECT_EQ(options->vendorId, 0x0AC8);
}

TEST(Options, EveryKeyIsTaken) {
  std::string error;
  const auto options = ParseCameraOptions(
      "sensor=11a, fps=max,timing=fast,vendor=0x1234,product=77,packets=1100,endpoint=setting0,"
      "refuse=7+1,chipid=0xE001,fault=noeoi,source=file:/tmp/x.jpg,unplug=1.5,replug=0.25",
      error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->sensor, "11a");
  EXPECT_EQ(options->framesPerSecond, 0u);
  EXPECT_EQ(options->timing, Timing::Fast);
  EXPECT_EQ(options->vendorId, 0x1234);
  EXPECT_EQ(options->productId, 77);
  EXPECT_EQ(options->packetSizes[0], 1100);
  EXPECT_EQ(options->packetSizes[6], 1100);
  EXPECT_TRUE(options->endpointOnlyInSettingZero);
  EXPECT_EQ(options->refusedSettings, (std::vector<uint8_t>{7, 1}));
  EXPECT_EQ(options->controllerId, 0xE001);
  EXPECT_EQ(options->frameFault, FrameFault::NoEndOfImage);
  EXPECT_EQ(options->imageFile, "/tmp/x.jpg");
  EXPECT_EQ(options->unplugAfter, std::chrono::milliseconds(1500));
  EXPECT_EQ(options->replugAfter, std::chrono::milliseconds(250));
}

TEST(Options, BadTextIsRefusedWithAReason) {
  for (const char* text :
       {"colour=red", "sensor=99", "fps=1001", "fps=-1", "timing=slow", "vendor=0x10000", "packets=100+200",
        "packets=0", "refuse=8", "fault=fire", "source=camera", "sensor", "count=2", "timing=scripted",
        "script=/nonexistent/packets.bin", "unplug=0", "unplug=soon", "unplug=3601", "replug=1"}) {
    std::string error;
    EXPECT_FALSE(ParseCameraOptions(text, error)) << text;
    EXPECT_EQ(error.rfind("emu: ", 0), 0u) << text << ": " << error;
  }
}

TEST(Options, CountsExpandIntoOneEntryPerCamera) {
  std::string error;
  EXPECT_EQ(ExpandCameraCounts("emu:count=3,sensor=12", error), "emu:sensor=12;emu:sensor=12;emu:sensor=12");
  EXPECT_EQ(ExpandCameraCounts("emu:count=2;usb:1-2;emu", error), "emu;emu;usb:1-2;emu");
  EXPECT_EQ(ExpandCameraCounts("emu;emu:sensor=2", error), "emu;emu:sensor=2");
  EXPECT_EQ(ExpandCameraCounts("", error), "");
  EXPECT_FALSE(ExpandCameraCounts("emu:count=0", error));
  EXPECT_FALSE(ExpandCameraCounts("emu:count=10", error));
}

TEST(Options, PacketScriptFileIsReadAndChecked) {
  const auto path = std::filesystem::temp_directory_path() / ("emucam_script_" + std::to_string(::getpid()));
  auto write = [&](std::initializer_list<uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    for (uint8_t b : bytes) file.put(static_cast<char>(b));
  };
  std::string error;
  write({3, 0, 0xFF, 0xD8, 9, 0, 0, 1, 0, 5});
  const auto packets = LoadPacketScript(path.string(), error);
  ASSERT_TRUE(packets) << error;
  EXPECT_EQ(*packets, (std::vector<std::vector<uint8_t>>{{0xFF, 0xD8, 9}, {}, {5}}));
  const auto options = ParseCameraOptions("script=" + path.string(), error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->timing, Timing::Scripted);

  write({4, 0, 1, 2});
  EXPECT_FALSE(LoadPacketScript(path.string(), error));
  write({1});
  EXPECT_FALSE(LoadPacketScript(path.string(), error));
  std::filesystem::remove(path);
}

// Files that cannot serve as a script or a picture are refused, with the file named.
TEST(Options, ScriptAndPictureMustBeRegularFilesOfBoundedSize) {
  const auto folder = std::filesystem::temp_directory_path() / ("emucam_files_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "big").close();
  std::filesystem::resize_file(folder / "big", 65u << 20);
  for (const std::string& path : {std::string("/dev/zero"), folder.string(), std::string("/proc/self/mem")}) {
    std::string error;
    EXPECT_FALSE(LoadPacketScript(path, error)) << path;
    EXPECT_NE(error.find("'" + path + "'"), std::string::npos) << error;
    EXPECT_FALSE(EmulatedCamera::Create("source=file:" + path, error)) << path;
    EXPECT_NE(error.find("image file '" + path + "'"), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(LoadPacketScript((folder / "big").string(), error));
  EXPECT_NE(error.find("is larger than 16777216 bytes"), std::string::npos) << error;
  EXPECT_FALSE(EmulatedCamera::Create("source=file:" + (folder / "big").string(), error));
  EXPECT_NE(error.find("is larger than 67108864 bytes"), std::string::npos) << error;
  std::filesystem::remove_all(folder);
}

TEST(RequestLog, RecordsSetupPacketsAndSelectionsInTheTablesNotation) {
  auto camera = MakeCamera("");
  WriteRegister(*camera, 0x000, 0x01);
  WriteSensor(*camera, 0x30, 0x002D);
  testing::ReadSensor(*camera, 0x00);
  ReadRegister(*camera, 0x008);
  camera->SelectAlternateSetting(0, 7);
  std::vector<uint8_t> data(2);
  testing::Control(*camera, {0xC0, 0x11, 0x0203, 0x0405, 2}, data);

  const auto log = camera->RequestLog();
  ASSERT_EQ(log.size(), 14u);
  EXPECT_EQ(log[0].setup.bmRequestType, 0x40);
  EXPECT_EQ(log[0].setup.bRequest, 0xA0);
  EXPECT_EQ(FormatRequests(log),
            "000=01 092=30 093=2D 094=00 090=01 091? 092=00 090=02 091? 095? 096? 008? alt=7 C0:11:0203:0405:0002");
  EXPECT_EQ(FormatRequests(log, true), "000=01 S30=002D S00? 008? alt=7 C0:11:0203:0405:0002");
  camera->ClearRequestLog();
  EXPECT_TRUE(camera->RequestLog().empty());
}

TEST(Profiles, NamesAndAliasesResolve) {
  EXPECT_EQ(FindSensorProfile("7"), FindSensorProfile("none"));
  EXPECT_EQ(FindSensorProfile("11b"), FindSensorProfile("11"));
  EXPECT_EQ(FindSensorProfile("3"), nullptr);
  for (const SensorProfile& profile : AllSensorProfiles()) EXPECT_EQ(FindSensorProfile(profile.name), &profile);
}

}  // namespace
}  // namespace emucam
