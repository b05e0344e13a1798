// The whole life of a camera through the USB host and the device manager: install,
// plug, activation, initialisation, open and close, unplug, and the port names.

#include <gtest/gtest.h>

#include <atomic>
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
  // An earlier close signalled the open/close event with nobody waiting; the open that
  // follows clears it, or the unplug would not wait at all.
  HANDLE earlier = OpenStream(u"VLM1:");
  ASSERT_NE(earlier, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(CloseHandle(earlier));
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

  std::chrono::steady_clock::time_point unplugged;
  std::thread unplug([&] {
    camera.Unplug();
    unplugged = std::chrono::steady_clock::now();
  });
  while (!device->removed) std::this_thread::yield();
  // While the detach waits for the close, the stream device stays: VLM_Deinit has not run.
  EXPECT_FALSE(drvtest::PollUntil([] { return drvtest::ActiveKeyCount() == 0; }, std::chrono::milliseconds(100)));
  EXPECT_EQ(PortName(1), u"VLM1:");
  EXPECT_TRUE(CloseHandle(handle));
  const auto closed = std::chrono::steady_clock::now();
  unplug.join();
  EXPECT_FALSE(IsValidDevice(device));
  EXPECT_EQ(drvtest::ActiveKeyCount(), 0u);
  // The close's signal ended the wait, which would otherwise run on to 500 ms.
  EXPECT_LT(unplugged - closed, std::chrono::milliseconds(250));
}

TEST_F(BringUpTest, CloseAfterAnUnplugWaitsForTheCaptureThreadToLetGo) {
  PluggedCamera camera("sensor=2,timing=fast");
  VlmDevice* device = camera.Device();
  ASSERT_NE(device, nullptr);
  drvtest::UsbTap tap(device);
  HANDLE handle = OpenStream(u"VLM1:");
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD bytes = 0;
  ASSERT_TRUE(DeviceIoControl(handle, IOCTL_VLM_START_CAPTURE, nullptr, 0, nullptr, 0, &bytes, nullptr));
  ASSERT_TRUE(drvtest::PollUntil([&] { return device->frameCounter > 0; }));

  // After the unplug the capture thread ends by itself; its last step on the record, the
  // pipe's close, is held here.
  tap.HoldPipeClose();
  camera.Unplug();
  ASSERT_TRUE(drvtest::PollUntil([&] { return tap.PipeCloseWaiting(); }));
  std::atomic<bool> closed{false};
  std::thread closer([&] {
    EXPECT_TRUE(CloseHandle(handle));
    closed = true;
  });
  EXPECT_FALSE(drvtest::PollUntil([&] { return closed.load(); }, std::chrono::milliseconds(100)));
  EXPECT_TRUE(IsValidDevice(device));
  tap.ReleasePipeClose();
  closer.join();
  EXPECT_FALSE(IsValidDevice(device));
}

// The camera plugged after another went away, open through `current` and untouched by
// whatever happened to the other's handle.
void ExpectOpenAndWorking(VlmDevice* next, HANDLE current) {
  EXPECT_TRUE(next->open);
  EXPECT_EQ(next->references, 2);  // the attachment and `current`
  DWORD bytes = 0;
  EXPECT_TRUE(DeviceIoControl(current, IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, &bytes, nullptr));
  EXPECT_TRUE(CloseHandle(current));
  EXPECT_EQ(next->references, 1);
}

TEST_F(BringUpTest, HandleOpenAcrossUnplugAndReplugClosesOnlyItsOwnRecord) {
  PluggedCamera camera("sensor=2,timing=fast");
  VlmDevice* first = camera.Device();
  ASSERT_NE(first, nullptr);
  HANDLE old = OpenStream(u"VLM1:");
  ASSERT_NE(old, INVALID_HANDLE_VALUE);
  camera.Replug();  // the detach gives up waiting for `old` after half a second
  ASSERT_TRUE(IsValidDevice(first));
  VlmDevice* next = camera.Device();
  ASSERT_NE(next, nullptr);
  ASSERT_NE(next, first);
  HANDLE current = OpenStream(camera.StreamName());
  ASSERT_NE(current, INVALID_HANDLE_VALUE);

  EXPECT_TRUE(CloseHandle(old));
  EXPECT_FALSE(IsValidDevice(first));
  ExpectOpenAndWorking(next, current);
}

TEST_F(BringUpTest, StaleHandleFailsAndNeverReachesTheNextCamera) {
  PluggedCamera camera("sensor=2,timing=fast");
  VlmDevice* first = camera.Device();
  ASSERT_NE(first, nullptr);
  HANDLE stale = OpenStream(u"VLM1:");
  ASSERT_NE(stale, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(CloseHandle(stale));
  // The driver closes only what an open handle holds.
  SetLastError(0);
  EXPECT_FALSE(VLM_Close(reinterpret_cast<DWORD_PTR>(first)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(first->references, 1);

  // The next camera's record may well take the freed record's address.
  camera.Replug();
  VlmDevice* next = camera.Device();
  ASSERT_NE(next, nullptr);
  SetLastError(0);
  EXPECT_FALSE(VLM_Close(reinterpret_cast<DWORD_PTR>(first)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HANDLE current = OpenStream(camera.StreamName());
  ASSERT_NE(current, INVALID_HANDLE_VALUE);
  DWORD bytes = 0;
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(stale, IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, &bytes, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(stale));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  ExpectOpenAndWorking(next, current);
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
  for (int i = 0; i < 9; ++i) cameras.push_back(std::make_unique<PluggedCamera>("sensor=2,timing=fast"));
  for (int i = 0; i < 9; ++i) {
    ASSERT_NE(cameras[i]->Device(), nullptr) << i;
    EXPECT_EQ(PortName(i + 1), cameras[i]->StreamName());
  }
  // The first nine all work side by side.
  HANDLE handle = OpenStream(u"VLM9:");
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(handle));

  // The device manager names nine devices at most, so a tenth camera comes only once one
  // has gone; here another device has taken the slot that camera gave back meanwhile.
  cameras[8]->Unplug();
  EXPECT_EQ(PortName(9), u"");
  drvtest::SetPortName(9, u"XYZ9:");
  const drvtest::InitCount before = drvtest::InitCalls();
  PluggedCamera tenth("sensor=2,timing=fast");
  EXPECT_EQ(tenth.Device(), nullptr);
  // Named VLM9: and initialised, and refused there for want of a port.
  EXPECT_EQ(drvtest::InitCalls().calls, before.calls + 1);
  EXPECT_EQ(drvtest::InitCalls().refused, before.refused + 1);
  EXPECT_EQ(tenth.Log(), "");
  EXPECT_EQ(drvtest::ActiveKeyCount(), 8u);
  EXPECT_EQ(PortName(9), u"XYZ9:");
}

TEST_F(BringUpTest, DeinitReleasesItsPortOnce) {
  PluggedCamera first("sensor=2,timing=fast");
  VlmDevice* device = first.Device();
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(VLM_Deinit(reinterpret_cast<DWORD_PTR>(device)));
  EXPECT_EQ(std::u16string(device->portValueName), u"");
  EXPECT_EQ(PortName(1), u"");

  // Another camera takes the slot; a repeated release of the first one leaves it alone.
  PluggedCamera second("sensor=2,timing=fast");
  ASSERT_NE(second.Device(), nullptr);
  EXPECT_EQ(std::u16string(second.Device()->portValueName), u"Port1");
  EXPECT_FALSE(VLM_Deinit(reinterpret_cast<DWORD_PTR>(device)));
  EXPECT_EQ(PortName(1), second.StreamName());
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
