// Each sensor profile, probed by a step-by-step replay of the driver's sensor detection
// (written here from the detection's description, not taken from the driver), ends with
// that profile's detection result.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "camera_test_support.h"

namespace emucam {
namespace {

using testing::MakeCamera;
using testing::ReadRegister;
using testing::ReadSensor;
using testing::WriteRegister;
using testing::WriteSensor;

struct Probe {
  uint8_t code, bankRegister, bankValue, reg1;
  uint16_t value1;
  uint8_t reg2;
  uint16_t value2;
};
constexpr std::array<Probe, 8> kProbes = {{
    {0x00, 0x00, 0x00, 0x01, 0x00AA, 0xFF, 0},
    {0x04, 0x00, 0x00, 0x01, 0x00AA, 0xFF, 0},
    {0x06, 0x8D, 0x08, 0x11, 0x00AA, 0xFF, 0},
    {0x08, 0x00, 0x00, 0x1C, 0x0000, 0x15, 0x00AA},
    {0x0A, 0x00, 0x00, 0x07, 0xAAAA, 0xFF, 0},
    {0x0C, 0x00, 0x00, 0x01, 0x00AA, 0xFF, 0},
    {0x0E, 0x8D, 0x08, 0x03, 0x00AA, 0xFF, 0},
    {0x02, 0x00, 0x00, 0x01, 0x00AA, 0xFF, 0},
}};

struct IdentifierProbe {
  uint8_t bank8B;
  std::array<uint8_t, 3> sensorRegs;
};
constexpr std::array<IdentifierProbe, 3> kIdentifierProbes = {{
    {0xB3, {0x11, 0x12, 0xFF}},
    {0x91, {0x14, 0x15, 0x16}},
    {0xE0, {0x14, 0x15, 0x16}},
}};

int Detect(EmulatedCamera& camera) {
  auto write = [&](uint16_t reg, uint8_t value) { WriteRegister(camera, reg, value); };
  auto prepare = [&](uint8_t code) {
    write(0x000, 0x01);
    write(0x010, code);
    write(0x001, 0x01);
    write(0x012, 0x03);
    write(0x012, 0x01);
  };

  prepare(0x0F);
  write(0x08D, 0x08);
  WriteSensor(camera, 0x03, 0x00AA);
  if ((ReadSensor(camera, 0x03) & 0xFF) == 0xAA) return 0x0F;

  for (const Probe& probe : kProbes) {
    prepare(probe.code);
    if (probe.bankRegister == 0x8D) write(0x08D, probe.bankValue);
    WriteSensor(camera, probe.reg1, probe.value1);
    uint16_t value;
    if (probe.reg2 != 0xFF) {
      WriteSensor(camera, probe.reg2, probe.value2);
      value = ReadSensor(camera, probe.reg2);
    } else {
      value = ReadSensor(camera, probe.reg1);
    }
    if (value & 0xFF) return probe.code;
  }

  write(0x000, 0x01);
  write(0x001, 0x01);
  write(0x010, 0x06);
  write(0x08B, 0xA1);
  write(0x08D, 0x08);
  write(0x012, 0x01);
  WriteSensor(camera, 0x12, 0x0080);
  const int high = ReadSensor(camera, 0x0A) & 0xFF;
  const int low = ReadSensor(camera, 0x0B) & 0xFF;
  if ((high << 8 | low) == 0x7631) {
    write(0x010, 0x06);
    return 0x06;
  }

  for (size_t entry = 0; entry < kIdentifierProbes.size(); ++entry) {
    const IdentifierProbe& probe = kIdentifierProbes[entry];
    write(0x010, 0x02);
    ReadRegister(camera, 0x010);
    write(0x000, 0x01);
    write(0x010, 0x00);
    write(0x001, 0x01);
    write(0x08B, probe.bank8B);
    write(0x012, 0x03);
    write(0x012, 0x01);
    write(0x012, 0x05);
    for (uint8_t reg : probe.sensorRegs) {
      if (reg != 0xFF && (ReadSensor(camera, reg) & 0xFF) != 0) return 16 + static_cast<int>(entry);
    }
    if (probe.bank8B == 0x91) {
      write(0x010, 0x02);
      const int idHigh = ReadRegister(camera, 0x00B).value_or(0);
      const int idLow = ReadRegister(camera, 0x00A).value_or(0);
      const int id = idHigh << 8 | idLow;
      if (id == 0xC001 || id == 0xE001 || id == 0x8001) {
        ReadRegister(camera, 0x010);
        write(0x000, 0x01);
        write(0x03A, 0x0D);
        write(0x03B, 0x02);
        write(0x038, 0x00);
        return 19;
      }
    }
  }
  return -1;
}

// The sensor type the driver records for a detection result; 0 where start-up fails.
int SensorTypeOf(int result) {
  static const std::map<int, int> kTypes = {{-1, 7},  {16, 7},  {18, 7}, {0, 2},  {4, 13},  {6, 21}, {8, 14},
                                            {10, 11}, {19, 11}, {12, 8}, {14, 9}, {15, 10}, {17, 12}};
  const auto it = kTypes.find(result);
  return it == kTypes.end() ? 0 : it->second;
}

class DetectionOfEachProfile : public ::testing::TestWithParam<SensorProfile> {};

TEST_P(DetectionOfEachProfile, EndsWithTheProfilesResult) {
  const SensorProfile& profile = GetParam();
  auto camera = MakeCamera("sensor=" + std::string(profile.name));
  const int result = Detect(*camera);
  EXPECT_EQ(result, profile.detectionResult);
  EXPECT_EQ(SensorTypeOf(result), profile.sensorType);
}

INSTANTIATE_TEST_SUITE_P(AllProfiles, DetectionOfEachProfile, ::testing::ValuesIn(AllSensorProfiles()),
                         [](const auto& param) { return "sensor_" + std::string(param.param.name); });

TEST(Detection, ProfilesCoverEveryReachableOutcome) {
  std::map<int, int> found;
  for (const SensorProfile& profile : AllSensorProfiles()) ++found[profile.detectionResult];
  for (int result : {-1, 0, 2, 4, 6, 8, 10, 12, 14, 15, 16, 17, 18, 19}) EXPECT_TRUE(found.count(result)) << result;
}

TEST(Detection, ControllerIdentifierDecidesVariantA) {
  for (const char* id : {"0xC001", "0xE001", "0x8001"}) {
    auto camera = MakeCamera(std::string("sensor=11a,chipid=") + id);
    EXPECT_EQ(Detect(*camera), 19) << id;
  }
  EXPECT_EQ(Detect(*MakeCamera("sensor=11a,chipid=0xC002")), -1);
  EXPECT_EQ(Detect(*MakeCamera("sensor=none,chipid=0x8001")), 19);
}

// After detection the start-up tables select the sensor with other settings; the
// sensors with tables answer there too.
TEST(Detection, SensorsAnswerUnderTheirStartUpSettings) {
  struct Case {
    const char* sensor;
    uint8_t selection, bank8B;
  };
  for (const Case& c :
       {Case{"2", 0x00, 0x00}, Case{"12", 0x01, 0x00}, Case{"11", 0x0A, 0x00}, Case{"11a", 0x0A, 0xDC}}) {
    auto camera = MakeCamera(std::string("sensor=") + c.sensor);
    WriteRegister(*camera, 0x000, 0x01);
    WriteRegister(*camera, 0x010, c.selection);
    WriteRegister(*camera, 0x08B, c.bank8B);
    WriteSensor(*camera, 0x30, 0x002D);
    EXPECT_EQ(ReadSensor(*camera, 0x30), 0x002D) << c.sensor;
  }
}

}  // namespace
}  // namespace emucam
