// The whole life of a camera through the USB host and the device manager: install,
// plug, activation, initialisation, open and close, unplug, and the port names.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "driver_test_support.h"
#include "platform/windows.h"
#include "velmar/velmar.h"
#include "velmar/vlm_ioctl.h"

namespace {

using drvtest::OpenStream;
using drvtest::PluggedCamera;
using drvtest::PortName;

class BringUpTest : public ::testing::Test {
 protected:
  void SetUp() override { drvtest::ClearPortNames(); }
};

TEST_F(BringUpTest, InstallWritesTheClientDriverKey) {
  EXPECT_EQ(drvtest::RegistryText(u"Drivers\\USB\\ClientDrivers\\VELMAR", u"Dll"), u"VELMAR.DLL");
  EXPECT_EQ(drvtest::RegistryText(u"Drivers\\USB\\ClientDrivers\\VELMAR", u"Prefix"), u"VLM");
}

TEST_F(BringUpTest, AttachActivatesAndInitialisesTheFirstCameraAsVlm1) {
  PluggedCamera camera("sensor=2,timing=fast");
  VlmDevice* device = camera.Device();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(camera.StreamName(), u"VLM1:");
  EXPECT_EQ(PortName(1), u"VLM1:");
  EXPECT_EQ(std::u16string(device->portValueName), u"Port1");

  // Detection found the type 2 sensor and selected it; the controller was reset around it.
  EXPECT_EQ(device->sensorType, 2u);
  const std::string log = camera.Log();
  EXPECT_EQ(log.rfind("000=01 ", 0), 0u) << log;
  EXPECT_TRUE(log.ends_with(" 010=00 010? 000=01")) << log;

  // Defaults of a fresh record: RGB24 at 320 x 240, outdoor light, automatic bandwidth.
  EXPECT_EQ(device->outputFormat, VLM_FORMAT_RGB24);
  EXPECT_EQ(device->sizeIndex, VLM_SIZE_320X240);
  EXPECT_EQ(device->frameWidth, 320u);
  EXPECT_EQ(device->frameHeight, 240u);
  EXPECT_EQ(device->outputImageSize, 230400u);
  EXPECT_EQ(device->bitsPerPixel, 24u);
  EXPECT_EQ(device->lightMode, 2u);
  EXPECT_EQ(device->levelSetting, 128u);
  EXPECT_EQ(device->bandwidthLevel, 0u);
  EXPECT_NE(device->decoder, nullptr);
  EXPECT_NE(device->converter, nullptr);
  EXPECT_NE(device->jpegWorkBuffer, nullptr);
  EXPECT_NE(device->yuv420Buffer, nullptr);
  for (const FrameSlot& slot : device->slots) {
    EXPECT_NE(slot.buffer, nullptr);
    EXPECT_EQ(slot.capacity, kFrameSlotBytes);
  }
  EXPECT_FALSE(device->open);
  EXPECT_FALSE(device->removed);
}

TEST_F(BringUpTest, OneOpenHandleAtATime) {
  PluggedCamera camera("sensor=2,timing=fast");
  ASSERT_NE(camera.Device(), nullptr);
  HANDLE first = OpenStream(u"VLM1:");
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(camera.Device()->open);

  SetLastError(0);
  EXPECT_EQ(OpenStream(u"VLM1:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  ASSERT_TRUE(CloseHandle(first));
  EXPECT_FALSE(camera.Device()->open);
  HANDLE again = OpenStream(u"VLM1:");
  ASSERT_NE(again, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(again));
}

TEST_F(BringUpTest, UnplugOfAClosedCameraDeactivatesAndFreesIt) {
  const size_t keysBefore = drvtest::ActiveKeyCount();
  PluggedCamera camera("sensor=2,timing=fast");
  VlmDevice* device = camera.Device();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(drvtest::ActiveKeyCount(), keysBefore + 1);

  camera.Unplug();
  EXPECT_FALSE(IsValidDevice(device));
  EXPECT_EQ(drvtest::ActiveKeyCount(), keysBefore);
  EXPECT_EQ(PortName(1), u"");  // VLM_Deinit gave the port back
  EXPECT_EQ(OpenStream(u"VLM1:"), INVALID_HANDLE_VALUE);
}

TEST_F(BringUpTest, UnplugWithAHandleLeftOpenWaitsAtMostHalfASecondAndTheLateCloseIsSafe) {
  PluggedCamera camera("sensor=2,timing=fast");
  VlmDevice* device = camera.Device();
  ASSERT_NE(device, nullptr);
  HANDLE handle = OpenStream(u"VLM1:");
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);

  const auto start = std::chrono::steady_clock::now();
  camera.Unplug();
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(400));
  EXPECT_LT(waited, std::chrono::milliseconds(3000));

  // The open handle still holds the record: removed, no longer open, refusing work.
  ASSERT_TRUE(IsValidDevice(device));
  EXPECT_TRUE(device->removed);
  EXPECT_FALSE(device->open);
  DWORD bytes = 0;
  BYTE buffer[16];
  EXPECT_FALSE(DeviceIoControl(handle, IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, &bytes, nullptr));
  EXPECT_FALSE(ReadFile(handle, buffer, sizeof buffer, &bytes, nullptr) && bytes > 0);

  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_FALSE(IsValidDevice(device));  // the close was the last holder
}

TEST_F(BringUpTest, UnplugEndsAsSoonAsTheApplicationCloses) {
  PluggedCamera camera("sensor=2,timing=fast");
  VlmDevice* device = camera.Device();
  ASSERT_NE(device, nullptr);
  HANDLE handle = OpenStream(u"VLM1:");
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);

  std::thread unplug([&] { camera.Unplug(); });
  while (!device->removed) std::this_thread::yield();
  EXPECT_TRUE(CloseHandle(handle));
  unplug.join();
  EXPECT_FALSE(IsValidDevice(device));
  EXPECT_EQ(drvtest::ActiveKeyCount(), 0u);
}

TEST_F(BringUpTest, OpenAfterUnplugIsRefused) {
  PluggedCamera camera("sensor=2,timing=fast");
  VlmDevice* device = camera.Device();
  ASSERT_NE(device, nullptr);
  HANDLE handle = OpenStream(u"VLM1:");
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  camera.Unplug();
  // The record lives on for the open handle; a new open of it is refused.
  SetLastError(0);
  EXPECT_EQ(VLM_Open(reinterpret_cast<DWORD_PTR>(device), 0, 0), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(BringUpTest, ReplugReusesThePortThatHoldsTheDeviceName) {
  drvtest::SetPortName(1, u"VLM1:");
  PluggedCamera camera("sensor=2,timing=fast");
  ASSERT_NE(camera.Device(), nullptr);
  EXPECT_EQ(std::u16string(camera.Device()->portValueName), u"Port1");
  EXPECT_EQ(PortName(2), u"");

  camera.Unplug();
  PluggedCamera again("sensor=2,timing=fast");
  ASSERT_NE(again.Device(), nullptr);
  EXPECT_EQ(std::u16string(again.Device()->portValueName), u"Port1");
  EXPECT_EQ(PortName(1), u"VLM1:");
}

TEST_F(BringUpTest, FirstFreePortAfterPortsOfOtherDevices) {
  drvtest::SetPortName(1, u"XYZ1:");
  drvtest::SetPortName(2, u"XYZ2:");
  PluggedCamera camera("sensor=2,timing=fast");
  ASSERT_NE(camera.Device(), nullptr);
  EXPECT_EQ(std::u16string(camera.Device()->portValueName), u"Port3");
  EXPECT_EQ(PortName(3), u"VLM1:");
  EXPECT_EQ(PortName(1), u"XYZ1:");
}

TEST_F(BringUpTest, NoFreePortFailsTheInitialisationAndLeavesNothingBehind) {
  for (int n = 1; n <= 9; ++n) drvtest::SetPortName(n, u"XYZ" + Utf8ToUtf16(std::to_string(n)) + u":");
  PluggedCamera camera("sensor=2,timing=fast");
  EXPECT_EQ(camera.Device(), nullptr);
  EXPECT_EQ(drvtest::ActiveKeyCount(), 0u);
  EXPECT_EQ(OpenStream(u"VLM1:"), INVALID_HANDLE_VALUE);
  for (int n = 1; n <= 9; ++n) EXPECT_EQ(PortName(n), u"XYZ" + Utf8ToUtf16(std::to_string(n)) + u":");
}

TEST_F(BringUpTest, TheTenthCameraIsNotTaken) {
  std::vector<std::unique_ptr<PluggedCamera>> cameras;
  for (int i = 0; i < 10; ++i) cameras.push_back(std::make_unique<PluggedCamera>("sensor=2,timing=fast"));
  for (int i = 0; i < 9; ++i) {
    ASSERT_NE(cameras[i]->Device(), nullptr) << i;
    EXPECT_EQ(PortName(i + 1), cameras[i]->StreamName());
  }
  EXPECT_EQ(cameras[9]->Device(), nullptr);
  EXPECT_EQ(drvtest::ActiveKeyCount(), 9u);
  // The first nine all work side by side.
  HANDLE handle = OpenStream(u"VLM9:");
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(BringUpTest, SecondInitialisationOfARecordFailsAndKeepsItsPort) {
  PluggedCamera camera("sensor=2,timing=fast");
  ASSERT_NE(camera.Device(), nullptr);
  const std::u16string activeKey = camera.Device()->activeKeyPath;
  EXPECT_EQ(VLM_Init(activeKey.c_str()), 0u);
  EXPECT_EQ(PortName(1), u"VLM1:");
  EXPECT_EQ(std::u16string(camera.Device()->portValueName), u"Port1");
}

TEST_F(BringUpTest, WriteAndSeekDoNothing) {
  PluggedCamera camera("sensor=2,timing=fast");
  ASSERT_NE(camera.Device(), nullptr);
  const auto handle = reinterpret_cast<DWORD_PTR>(camera.Device());
  const BYTE data[4] = {1, 2, 3, 4};
  EXPECT_EQ(VLM_Write(handle, data, sizeof data), 0xFFFFFFFFu);
  EXPECT_EQ(VLM_Write(0, nullptr, 0), 0xFFFFFFFFu);
  EXPECT_EQ(VLM_Seek(handle, 10, 0), 0xFFFFFFFFu);
  EXPECT_EQ(VLM_Seek(0, -1, 2), 0xFFFFFFFFu);
}

TEST_F(BringUpTest, EntryPointsRefuseHandlesThatAreNoRecord) {
  BYTE notARecord[sizeof(VlmDevice)] = {'U', 'S', 'B', 'P'};
  const auto forged = reinterpret_cast<DWORD_PTR>(notARecord);
  SetLastError(0);
  EXPECT_EQ(VLM_Open(forged, 0, 0), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(VLM_Close(forged));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(VLM_Deinit(forged));
  EXPECT_FALSE(VLM_IOControl(forged, IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
