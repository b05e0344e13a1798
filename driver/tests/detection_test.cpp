// Sensor detection against every sensor the emulated camera can carry: the recorded
// sensor type, the controller's sensor selection, and the sensors it cannot drive.

#include <gtest/gtest.h>

#include <cstdio>

#include "driver_test_support.h"
#include "emucam/sensor_profile.h"
#include "sensor/sensor_detect.h"

namespace {

using drvtest::PluggedCamera;

// What InitSensor sends after the detection, then the second controller reset.
std::string SelectionTail(int detection) {
  if (detection == -1 || detection == 16 || detection == 18) return "010=02 010? 000=01";
  char text[32];
  std::snprintf(text, sizeof text, "010=%02X 010?%s 000=01", detection & 0x0F,
                (detection & 0x0F) == 6 ? " 000=01" : "");
  return text;
}

class DetectionTest : public ::testing::TestWithParam<emucam::SensorProfile> {
 protected:
  void SetUp() override { drvtest::ClearPortNames(); }
};

TEST_P(DetectionTest, EndsInTheSensorTypeOfItsResult) {
  const emucam::SensorProfile& profile = GetParam();
  PluggedCamera camera("timing=fast,sensor=" + std::string(profile.name));
  const std::string log = camera.Log();
  if (profile.sensorType == 0) {
    // Detected, but not a sensor the controller can drive: no selection, no device.
    EXPECT_EQ(camera.Device(), nullptr);
    EXPECT_EQ(drvtest::ActiveKeyCount(), 0u);
    EXPECT_TRUE(log.ends_with("S01? 000=01")) << log;
    return;
  }
  ASSERT_NE(camera.Device(), nullptr) << log;
  EXPECT_EQ(camera.Device()->sensorType, static_cast<DWORD>(profile.sensorType));
  EXPECT_TRUE(log.ends_with(SelectionTail(profile.detectionResult))) << log;
  const DWORD expectedIdentifier = profile.detectionResult == 19 ? profile.controllerId : 0;
  EXPECT_EQ(camera.Device()->sensorIdentifier, expectedIdentifier);
}

INSTANTIATE_TEST_SUITE_P(Profiles, DetectionTest,
                         ::testing::ValuesIn(emucam::AllSensorProfiles().begin(), emucam::AllSensorProfiles().end()),
                         [](const ::testing::TestParamInfo<emucam::SensorProfile>& param) {
                           return "sensor_" + std::string(param.param.name);
                         });

TEST(DetectionMapTest, EveryResultOfTheTable) {
  struct Row {
    int detection;
    DWORD sensorType;
  };
  const Row rows[] = {{-1, 7},  {16, 7},  {18, 7}, {0, 2},  {4, 13},  {6, 21}, {8, 14},
                      {10, 11}, {19, 11}, {12, 8}, {14, 9}, {15, 10}, {17, 12}};
  for (const Row& row : rows) {
    DWORD type = 0;
    EXPECT_TRUE(SensorTypeForDetection(row.detection, type)) << row.detection;
    EXPECT_EQ(type, row.sensorType) << row.detection;
  }
  for (int unchanged : {1, 2, 3, 5, 7, 9, 11, 13, 20, -2}) {
    DWORD type = 99;
    EXPECT_FALSE(SensorTypeForDetection(unchanged, type)) << unchanged;
    EXPECT_EQ(type, 99u);
  }
}

TEST(DetectionMapTest, InitSensorRefusesRecordsThatAreNone) { EXPECT_FALSE(InitSensor(nullptr)); }

}  // namespace
