// The start-up sequences as the camera receives them, request by request, for every
// sensor with a table at both sizes, followed by the four image settings.

#include <gtest/gtest.h>

#include <sstream>

#include "driver_test_support.h"
#include "platform/windows.h"
#include "sensor/start_camera.h"
#include "velmar/vlm_ioctl.h"

namespace {

using drvtest::PluggedCamera;

// The 320 x 240 sequences as the chip documentation lists them.
const std::string kType2 =
    "000=01 002=10 010=00 001=01 101=77 008=03 012=03 012=01 003=02 004=80 005=01 006=E0 "
    "098=00 09A=00 11A=00 11C=00 S30=002D S01=0005 S11=0000 S13=0001 S14=0001 S15=00E8 S16=0002 S17=0086 "
    "S31=0038 S32=0038 S33=0038 S5B=0001 019=00 012=05 100=0D 18D=68 1A8=60 1AD=00 19B=C0 19C=A0 "
    "188=02 189=06 1C5=03 1CB=13 250=08 301=08 S02=0090 002? S00? 008? 008=03 1C6=08 "
    "1C8? 1C9? 1CA? 1CB=0F 10A=50 10B=F8 10C=F8 10D=F8 10E=50 10F=F8 110=F8 111=F8 "
    "112=50 180? 180=10 019=00 S25=0007 S26=00A1 S27=0020 S20=0000 S21=00A0 S22=0016 S23=0040 190=10 "
    "191=04 192=60 195=00 196=02 197=00 18C=07 18F=0F 1A9=18 1AA=24 01D=00 01E=A0 01F=16 "
    "020=40 11D=60 01D? 01E? 01F? 020? 180=40 180? 180=42 116=40 117=40 118=40";

const std::string kType12 =
    "000=01 002=10 010=01 001=01 101=77 008=03 012=05 012=07 003=02 004=80 005=01 006=E0 "
    "098=00 09A=00 09B=01 09C=E8 09D=02 09E=88 11A=00 11C=00 012=05 S01=000C S11=0000 S13=0000 "
    "S14=0001 S15=00E8 S16=0002 S17=0088 019=00 100=0D 18D=89 1A8=50 1AD=00 19B=C0 19C=A0 189=06 "
    "1C5=03 1CB=13 250=08 301=08 002? S00? 008? 008=03 1C6=08 1C8? 1C9? 1CA? "
    "1CB=0F 10A=60 10B=F0 10C=F0 10D=F0 10E=60 10F=F0 110=F0 111=F0 112=60 180? 180=10 "
    "019=00 S25=0007 S26=0053 S27=0000 190=10 191=04 192=60 195=00 196=02 197=00 18C=10 18F=20 "
    "1A8=60 1A9=10 1AA=13 01D? 01E? 01F? 020? 180=40 180? 180=42";

const std::string kType11VariantA =
    "000=01 008=03 010=0A 002=10 003=02 004=80 005=01 006=E0 08B=DC 001=01 012=03 012=01 "
    "098=00 09A=00 11A=00 11C=00 08B=DC S01=0001 S06=0000 S08=0483 S01=0004 S08=0006 S02=0011 S03=01E7 "
    "S04=0287 S07=3002 S20=1100 S35=0050 S30=0005 S31=0000 S58=0078 S62=0411 S2B=0028 S2C=0030 S2D=0030 S2E=0028 "
    "087=10 101=37 012=05 100=0D 189=06 1AD=00 1C5=03 1CB=13 250=08 301=08 1A8=60 18D=78 "
    "116=61 118=65 002? 1AD=09 1AE=15 03A=0D 03B=02 038=00 10A=50 10B=F8 10C=F8 10D=F8 "
    "10E=50 10F=F8 110=F8 111=F8 112=50 008? 008=03 1C6=08 1C8? 1C9? 1CA? 1CB=0F "
    "120=13 121=38 122=59 123=79 124=92 125=A7 126=B9 127=C8 128=D4 129=DF 12A=E7 12B=EE "
    "12C=F4 12D=F9 12E=FC 12F=FF 130=26 131=22 132=20 133=1C 134=16 135=13 136=10 137=0D "
    "138=0B 139=09 13A=07 13B=06 13C=05 13D=04 13E=03 13F=02 10A=50 10B=F8 10C=F8 10D=F8 "
    "10E=50 10F=F8 110=F8 111=F8 112=50 180? 180=00 180=00 019=00 S05=0009 S09=0134 190=00 "
    "191=07 192=EC 195=00 196=00 197=9C 18C=0E 18F=1C 1A9=14 1AA=24 01D=D7 01E=F4 01F=F9 "
    "020=FF 180=42 1AD=09 1AE=15 180=40 180? 180=42";

const std::string kType11VariantB =
    "008? 008? 000=01 008=03 010=0A 002=10 003=02 004=80 005=01 006=E0 001=01 012=05 "
    "012=07 098=00 09A=00 11A=00 11C=00 012=05 S01=0006 S02=0011 S03=01E7 S04=0287 S06=0003 S07=3002 "
    "S20=1100 S2F=F7B0 S30=0005 S31=0000 S34=0100 S35=0060 S3D=068F S40=01E0 S58=0078 S62=0411 087=10 101=37 "
    "012=05 100=0D 189=06 1AD=00 1C5=03 1CB=13 250=08 301=08 1A8=60 18D=6C 002? 1AD=09 "
    "1AE=15 S00? 10A=50 10B=F8 10C=F8 10D=F8 10E=50 10F=F8 110=F8 111=F8 112=50 008? "
    "008=03 1C6=08 1C8? 1C9? 1CA? 1CB=0F 10A=50 10B=F8 10C=F8 10D=F8 10E=50 10F=F8 "
    "110=F8 111=F8 112=50 180? 180=00 019=00 S05=0066 S09=02B2 S10=0002 11D=60 190=00 191=07 "
    "192=8C 195=00 196=00 197=01 18C=10 18F=20 1A9=14 1AA=24 01D=D7 01E=F0 01F=F8 020=FF "
    "1AD=09 1AE=15 180=40 180? 180=42 008? 007?";
// Items of the 320 x 240 sequence exchanged for the 640 x 480 one.
using Changes = std::vector<std::pair<std::string, std::string>>;
const Changes kRegister002Vga = {{"002=10", "002=00"}};
const Changes kType2Vga = {
    {"002=10", "002=00"},     {"101=77", "101=37"}, {"S11=0000", "S11=0001"}, {"S13=0001", "S13=0000"},
    {"S15=00E8", "S15=00E6"}, {"18D=68", "18D=70"}, {"S21=00A0", "S21=0040"}, {"S22=0016", "S22=0013"},
    {"S23=0040", "S23=004C"}, {"196=02", "196=C3"}, {"197=00", "197=50"},     {"18C=07", "18C=0C"},
    {"18F=0F", "18F=18"},     {"01E=A0", "01E=40"}, {"01F=16", "01F=13"},     {"020=40", "020=4C"},
};

std::vector<std::string> Items(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> items;
  for (std::string item; in >> item;) items.push_back(item);
  return items;
}

size_t RequestCount(const std::vector<std::string>& items) {
  size_t count = 0;
  for (const std::string& item : items) count += item[0] == 'S' ? 5 : 1;
  return count;
}

std::vector<std::string> WithChanges(std::vector<std::string> items, const Changes& changes) {
  for (const auto& [from, to] : changes) {
    auto found = std::find(items.begin(), items.end(), from);
    EXPECT_NE(found, items.end()) << from;
    if (found != items.end()) *found = to;
  }
  return items;
}

struct StartupCase {
  const char* label;
  const char* sensor;  // the camera's options after "sensor="
  const std::string* table;
  size_t requests;
  const Changes* vgaChanges;
  const char* settings;  // light mode 2, level 128, register 0x008 = 1, register 0x180 switch 1
};

void PrintTo(const StartupCase& startup, std::ostream* out) { *out << "sensor " << startup.sensor; }

constexpr const char* kType11Settings = "195=00 196=00 197=01 11D=80 18D=80 008=01 180=42";
// Type 11 takes variant A with each of the three identifiers of the newer controller.
const StartupCase kCases[] = {
    {"2", "2", &kType2, 180, &kType2Vga, "195=00 196=02 197=00 11D=80 18D=80 008=01 180=42"},
    {"12", "12", &kType12, 126, &kRegister002Vga, "195=00 196=02 197=00 11D=80 18D=80 008=01 180=42"},
    {"11a", "11a", &kType11VariantA, 223, &kRegister002Vga, kType11Settings},
    {"11aE001", "11a,chipid=0xE001", &kType11VariantA, 223, &kRegister002Vga, kType11Settings},
    {"11a8001", "11a,chipid=0x8001", &kType11VariantA, 223, &kRegister002Vga, kType11Settings},
    {"11", "11", &kType11VariantB, 183, &kRegister002Vga, kType11Settings},
};

class StartCameraTest : public ::testing::TestWithParam<StartupCase> {
 protected:
  void SetUp() override {
    drvtest::ClearPortNames();
    camera_ = std::make_unique<PluggedCamera>(std::string("timing=fast,sensor=") + GetParam().sensor);
    device_ = camera_->Device();
    ASSERT_NE(device_, nullptr);
    handle_ = drvtest::OpenStream(camera_->StreamName());
    ASSERT_NE(handle_, INVALID_HANDLE_VALUE);
    camera_->ClearLog();
  }
  void TearDown() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  // Sends the start-up for a size and compares what the camera saw with the expectation.
  void ExpectStartup(DWORD sizeIndex, const std::vector<std::string>& table) {
    device_->sizeIndex = sizeIndex;
    EXPECT_TRUE(StartCamera(device_));
    std::vector<std::string> expected = table;
    for (const std::string& item : Items(GetParam().settings)) expected.push_back(item);
    const std::vector<std::string> seen = Items(camera_->Log());
    EXPECT_EQ(camera_->RawLog().size(), GetParam().requests + 7);
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], expected[i]) << "item " << i;
  }

  std::unique_ptr<PluggedCamera> camera_;
  VlmDevice* device_ = nullptr;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

TEST_P(StartCameraTest, SendsTheTableAndTheSettingsAt320x240) {
  const std::vector<std::string> table = Items(*GetParam().table);
  ASSERT_EQ(RequestCount(table), GetParam().requests);
  ExpectStartup(VLM_SIZE_320X240, table);
}

TEST_P(StartCameraTest, SendsThe640x480VariantAtSizeIndex0) {
  const std::vector<std::string> table = WithChanges(Items(*GetParam().table), *GetParam().vgaChanges);
  ExpectStartup(VLM_SIZE_640X480, table);
}

TEST_P(StartCameraTest, UnknownSizeSendsNoTableButStillTheSettings) {
  device_->sizeIndex = 2;
  EXPECT_FALSE(StartCamera(device_));
  EXPECT_EQ(camera_->Log(), GetParam().settings);
}

INSTANTIATE_TEST_SUITE_P(Sensors, StartCameraTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<StartupCase>& param) {
                           return std::string("sensor") + param.param.label;
                         });

class StartCameraRefusalTest : public ::testing::Test {
 protected:
  void SetUp() override { drvtest::ClearPortNames(); }
};

TEST_F(StartCameraRefusalTest, SensorWithoutTableFailsAfterTheSettings) {
  PluggedCamera camera("timing=fast,sensor=13");
  ASSERT_NE(camera.Device(), nullptr);
  HANDLE handle = drvtest::OpenStream(camera.StreamName());
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  camera.ClearLog();
  EXPECT_FALSE(StartCamera(camera.Device()));
  // No light-mode values for this sensor either.
  EXPECT_EQ(camera.Log(), "11D=80 18D=80 008=01 180=42");
  CloseHandle(handle);
}

TEST_F(StartCameraRefusalTest, ClosedOrRemovedDeviceSendsNothing) {
  PluggedCamera camera("timing=fast,sensor=2");
  VlmDevice* device = camera.Device();
  ASSERT_NE(device, nullptr);
  camera.ClearLog();
  EXPECT_FALSE(StartCamera(device));
  EXPECT_FALSE(StartCamera(nullptr));

  HANDLE handle = drvtest::OpenStream(camera.StreamName());
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  device->removed = TRUE;
  EXPECT_FALSE(StartCamera(device));
  device->removed = FALSE;
  EXPECT_EQ(camera.Log(), "");
  CloseHandle(handle);
}

TEST_F(StartCameraRefusalTest, SettingsFollowTheRecord) {
  PluggedCamera camera("timing=fast,sensor=12");
  VlmDevice* device = camera.Device();
  ASSERT_NE(device, nullptr);
  HANDLE handle = drvtest::OpenStream(camera.StreamName());
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  device->lightMode = 0;
  device->levelSetting = 0x20;
  device->register008Value = 0x103;
  device->register180Switch = 0;
  camera.ClearLog();
  EXPECT_TRUE(StartCamera(device));
  EXPECT_TRUE(camera.Log().ends_with(" 195=01 196=D4 197=C0 11D=20 18D=30 008=03 180=02")) << camera.Log();

  // Light mode 1 has no values: the start fails, the rest is still sent.
  device->lightMode = 1;
  camera.ClearLog();
  EXPECT_FALSE(StartCamera(device));
  EXPECT_TRUE(camera.Log().ends_with(" 180=42 11D=20 18D=30 008=03 180=02")) << camera.Log();
  CloseHandle(handle);
}

}  // namespace
