// Sensor detection against every sensor the emulated camera can carry: the recorded
// sensor type, the controller's sensor selection, and the sensors it cannot drive.

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "driver_test_support.h"
#include "emucam/request_log.h"
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
    EXPECT_EQ(drvtest::PortName(1), u"");  // the failed initialisation gave its port back
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

// Each of the three controller identifiers of the newer controller is recorded with
// sensor type 11.
class ControllerIdentifierTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { drvtest::ClearPortNames(); }
};

TEST_P(ControllerIdentifierTest, IsRecordedWithSensorType11) {
  PluggedCamera camera(std::string("timing=fast,sensor=11a,chipid=") + GetParam());
  ASSERT_NE(camera.Device(), nullptr);
  EXPECT_EQ(camera.Device()->sensorType, 11u);
  EXPECT_EQ(camera.Device()->sensorIdentifier, std::stoul(GetParam(), nullptr, 16));
}

INSTANTIATE_TEST_SUITE_P(VariantA, ControllerIdentifierTest, ::testing::Values("0xC001", "0xE001", "0x8001"));

// Gaps in microseconds between each run of requests that matches `pattern` (items in the
// tables' notation; "rrr=*" takes any value) and the request after it.
std::vector<int64_t> GapsAfter(const std::vector<emucam::LoggedRequest>& log,
                               std::initializer_list<std::string_view> pattern) {
  const auto matches = [](const std::string& item, std::string_view wanted) {
    if (wanted.ends_with("=*")) return item.starts_with(wanted.substr(0, wanted.size() - 1));
    return item == wanted;
  };
  std::vector<int64_t> gaps;
  for (size_t start = 0; start + pattern.size() < log.size(); ++start) {
    size_t matched = 0;
    for (std::string_view wanted : pattern) {
      if (!matches(emucam::FormatRequest(log[start + matched].setup), wanted)) break;
      ++matched;
    }
    if (matched != pattern.size()) continue;
    const size_t last = start + matched - 1;
    gaps.push_back(log[last + 1].atUs - log[last].atUs);
  }
  return gaps;
}

// The sensor is given time to settle, as the camera's clock shows: 2 ms after every
// preparation of a probe and around the first probe's read-back, 150 ms after the bank
// switch of the identifier probe. Without a sensor every probe runs.
TEST(DetectionPausesTest, SensorSettlesAfterEachPreparationAndTheIdentifierBank) {
  drvtest::ClearPortNames();
  PluggedCamera camera("timing=fast,sensor=none");
  const std::vector<emucam::LoggedRequest> log = camera.RawLog();

  const std::vector<int64_t> prepared = GapsAfter(log, {"000=01", "010=*", "001=01", "012=03", "012=01"});
  ASSERT_EQ(prepared.size(), 9u);  // the first probe and the eight ordinary ones
  for (int64_t gap : prepared) EXPECT_GE(gap, 2'000);

  const std::vector<int64_t> firstWrite = GapsAfter(log, {"08D=08", "092=03", "093=AA", "094=00", "090=01", "091?"});
  const std::vector<int64_t> firstRead = GapsAfter(log, {"092=03", "090=02", "091?", "095?", "096?"});
  ASSERT_FALSE(firstWrite.empty());
  ASSERT_FALSE(firstRead.empty());
  EXPECT_GE(firstWrite.front(), 2'000);
  EXPECT_GE(firstRead.front(), 2'000);

  const std::vector<int64_t> identifierBank = GapsAfter(log, {"08B=A1", "08D=08"});
  ASSERT_EQ(identifierBank.size(), 1u);
  EXPECT_GE(identifierBank.front(), 150'000);
}

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
