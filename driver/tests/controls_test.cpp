// Image, exposure and auxiliary-byte controls, compared with what the camera received.

#include <gtest/gtest.h>

#include "driver_test_support.h"
#include "sensor/aux_bytes.h"
#include "sensor/camera_controls.h"

namespace {

using drvtest::PluggedCamera;

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { drvtest::ClearPortNames(); }

  // The log of one control run on a fresh log.
  template <typename Control>
  std::string Sent(PluggedCamera& camera, Control control, BOOL expected) {
    camera.ClearLog();
    EXPECT_EQ(control(camera.Device()), expected);
    return camera.Log();
  }
};

TEST_F(ControlsTest, LightModeBySensorType) {
  struct Case {
    const char* sensor;
    const char* mains50Hz;
    const char* outdoor;
  };
  const Case cases[] = {{"2", "195=01 196=86 197=A0", "195=00 196=02 197=00"},
                        {"11", "195=00 196=00 197=8A", "195=00 196=00 197=01"},
                        {"12", "195=01 196=D4 197=C0", "195=00 196=02 197=00"}};
  for (const Case& c : cases) {
    PluggedCamera camera(std::string("timing=fast,sensor=") + c.sensor);
    ASSERT_NE(camera.Device(), nullptr) << c.sensor;
    EXPECT_EQ(Sent(
                  camera, [](VlmDevice* d) { return ApplyLightMode(d, 0); }, TRUE),
              c.mains50Hz);
    EXPECT_EQ(Sent(
                  camera, [](VlmDevice* d) { return ApplyLightMode(d, 2); }, TRUE),
              c.outdoor);
    EXPECT_EQ(Sent(
                  camera, [](VlmDevice* d) { return ApplyLightMode(d, 1); }, FALSE),
              "");
    EXPECT_EQ(Sent(
                  camera, [](VlmDevice* d) { return ApplyLightMode(d, 3); }, FALSE),
              "");
  }
  PluggedCamera noValues("timing=fast,sensor=13");
  ASSERT_NE(noValues.Device(), nullptr);
  EXPECT_EQ(Sent(
                noValues, [](VlmDevice* d) { return ApplyLightMode(d, 0); }, FALSE),
            "");
}

TEST_F(ControlsTest, LevelRegister008AndRegister180) {
  PluggedCamera camera("timing=fast,sensor=2");
  ASSERT_NE(camera.Device(), nullptr);
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return ApplyLevel(d, 111); }, TRUE),
            "11D=6F 18D=7F");
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return ApplyLevel(d, 112); }, TRUE),
            "11D=70 18D=80");
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return ApplyLevel(d, 128); }, TRUE),
            "11D=80 18D=80");
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return ApplyLevel(d, 0x150); }, TRUE),
            "11D=50 18D=60");
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return ApplyRegister008(d, 0x104); }, TRUE),
            "008=04");
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return ApplyRegister180(d, 0); }, TRUE),
            "180=02");
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return ApplyRegister180(d, 7); }, TRUE),
            "180=42");
}

TEST_F(ControlsTest, AutomaticExposureIgnoresTheManualValue) {
  PluggedCamera camera("timing=fast,sensor=2");
  ASSERT_NE(camera.Device(), nullptr);
  const std::string automatic =
      "180? 180=00 019=00 S05=0066 S09=02B2 S10=0002 11D=60 190=00 191=07 192=8C 195=00 196=00 197=8A 18C=10 "
      "18F=20 1A9=14 1AA=24 01D=D7 01E=F0 01F=F8 020=FF 180=42";
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return SetExposureLevel(d, 1, 0); }, TRUE),
            automatic);
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return SetExposureLevel(d, 5, 77); }, TRUE),
            automatic);
  EXPECT_EQ(camera.RawLog().size(), 34u);
}

TEST_F(ControlsTest, ManualExposureIsLimitedTo100AndScaledBy20) {
  PluggedCamera camera("timing=fast,sensor=2");
  ASSERT_NE(camera.Device(), nullptr);
  const std::string prefix = "180? 180=02 190? 191? 192? 195? 196? 197? ";
  struct Case {
    DWORD value;
    const char* sensorWrites;
  };
  const Case cases[] = {{0, "S09=0000 S10=0000"},
                        {13, "S09=0104 S10=0001"},
                        {100, "S09=07D0 S10=0007"},
                        {250, "S09=07D0 S10=0007"},
                        {0xFFFFFFFF, "S09=07D0 S10=0007"}};
  for (const Case& c : cases) {
    EXPECT_EQ(Sent(
                  camera, [&](VlmDevice* d) { return SetExposureLevel(d, 0, c.value); }, TRUE),
              prefix + c.sensorWrites)
        << c.value;
    EXPECT_EQ(camera.RawLog().size(), 18u);
  }
  EXPECT_FALSE(SetExposureLevel(nullptr, 0, 10));
}

TEST_F(ControlsTest, AuxiliaryBytesWriteAndReadBack) {
  PluggedCamera camera("timing=fast,sensor=2");
  ASSERT_NE(camera.Device(), nullptr);
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return WriteAuxByte(d, 0x21, 0xA5); }, TRUE),
            "304=00 303=21 305=A5 301=01 302? 306?");
  camera.ClearLog();
  EXPECT_EQ(ReadAuxByte(camera.Device(), 0x21), 0xA5u);
  EXPECT_EQ(camera.Log(), "304=00 303=21 301=02 302? 306?");
  EXPECT_EQ(ReadAuxByte(camera.Device(), 0x22), 0u);
}

TEST_F(ControlsTest, FailedAuxiliaryReadIsNeverTakenForAByte) {
  PluggedCamera camera("timing=fast,sensor=2");
  ASSERT_NE(camera.Device(), nullptr);
  ASSERT_TRUE(WriteAuxByte(camera.Device(), 0x30, 0x11));
  camera.Emu().StallRegister(0x302, emucam::StallMode::Once);
  camera.ClearLog();
  EXPECT_EQ(ReadAuxByte(camera.Device(), 0x30), kAuxReadFailed);
  EXPECT_EQ(camera.Log(), "304=00 303=30 301=02 302? 306?");  // still sent to the end

  camera.Emu().StallRegister(0x305, emucam::StallMode::Once);
  EXPECT_EQ(Sent(
                camera, [](VlmDevice* d) { return WriteAuxByte(d, 0x30, 0x22); }, FALSE),
            "304=00 303=30 305=22 301=01 302? 306?");
}

}  // namespace
