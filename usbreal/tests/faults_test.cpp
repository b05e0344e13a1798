// A misbehaving camera behind libusb: stalled requests, a camera that stops answering,
// transfers that fail, a cable pulled during capture, and devices that cannot be used.

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>

#include "camclient/camclient.h"
#include "platform/windows.h"
#include "testing/plugged_camera.h"
#include "usb_test_support.h"
#include "usbtestbed/mock_usb_bus.h"
#include "velmar/vlm_ioctl.h"

namespace usbtest {
namespace {

using Clock = std::chrono::steady_clock;

// A plugged camera with its stream device open.
class UsbFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(camera_.Plug());
    handle_ = vtest::OpenStream(camera_.StreamName());
    ASSERT_NE(handle_, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  BOOL Control(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) {
    DWORD returned = 0;
    return DeviceIoControl(handle_, code, in, inSize, out, outSize, &returned, nullptr);
  }
  BOOL WriteRegister(BYTE value) {
    std::array<BYTE, 4> address{0x10, 0x00, 0, 0}, data{value, 0, 0, 0};
    return Control(IOCTL_VLM_WRITE_REGISTER, address.data(), 4, data.data(), 4);
  }
  DWORD ReadRegister() {
    std::array<BYTE, 4> address{0x10, 0x00, 0, 0};
    DWORD result = 0;
    EXPECT_TRUE(Control(IOCTL_VLM_READ_REGISTER, address.data(), 4, &result, 4));
    return result;
  }
  bool FramesArrive() {
    const uint32_t before = camera_.Emu().framesSent();
    std::vector<uint8_t> jpeg(40960);
    DWORD returned = 0;
    return vtest::PollUntil([&] {
      return camera_.Emu().framesSent() > before + 2 &&
             DeviceIoControl(handle_, IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), jpeg.size(), &returned, nullptr) &&
             returned > 0;
    });
  }

  UsbCamera camera_{"sensor=2,timing=fast,fps=max", KernelDriver("kernelcam")};
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

TEST_F(UsbFaultTest, AStalledRequestFailsAndTheNextOneIsAnswered) {
  camera_.Emu().StallRegister(0x306, emucam::StallMode::Always);
  EXPECT_EQ(ReadRegister(), 0xFFFFFFFFu);
  EXPECT_FALSE(WriteRegister(0x5A));
  camera_.Emu().ClearStalls();
  EXPECT_TRUE(WriteRegister(0x5A));
  EXPECT_EQ(ReadRegister(), 0x5Au);
}

TEST_F(UsbFaultTest, ACameraThatStopsAnsweringTimesOutAndTheGivenUpTransfersAreDiscarded) {
  camera_.Emu().SetAnswering(false);
  const auto start = Clock::now();
  EXPECT_FALSE(WriteRegister(0x33));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));  // each request bounded by its time-out
  EXPECT_GE(camera_.Mock().Counts().discards, 1);
  camera_.Emu().SetAnswering(true);
  EXPECT_TRUE(WriteRegister(0x5A));
  EXPECT_EQ(ReadRegister(), 0x5Au);
}

// Transfers that libusb reports failed: no data while it lasts, the stream comes back.
class UsbFailedTransferTest : public UsbFaultTest, public ::testing::WithParamInterface<int> {};

TEST_P(UsbFailedTransferTest, CaptureSurvivesAndResumes) {
  ASSERT_TRUE(Control(IOCTL_VLM_START_CAPTURE, nullptr, 0, nullptr, 0));
  ASSERT_TRUE(FramesArrive());
  camera_.Mock().FailIsochronousUrbs(GetParam());
  const int urbs = camera_.Mock().Counts().isochronousUrbs;
  EXPECT_TRUE(vtest::PollUntil([&] { return camera_.Mock().Counts().isochronousUrbs > urbs + 20; }));
  camera_.Mock().FailIsochronousUrbs(0);
  EXPECT_TRUE(FramesArrive());
  EXPECT_TRUE(Control(IOCTL_VLM_STOP_CAPTURE, nullptr, 0, nullptr, 0));
}

INSTANTIATE_TEST_SUITE_P(Statuses, UsbFailedTransferTest, ::testing::Values(-EPROTO, -ENOENT, -EOVERFLOW),
                         [](const auto& test) { return "errno" + std::to_string(-test.param); });

TEST_F(UsbFaultTest, PullingTheCableDuringCaptureRunsTheRemovalWithoutHanging) {
  ASSERT_TRUE(Control(IOCTL_VLM_START_CAPTURE, nullptr, 0, nullptr, 0));
  ASSERT_TRUE(FramesArrive());
  EXPECT_EQ(camera_.Mock().Counts().kernelDriverDetaches, 1);
  const usbtestbed::MockDeviceCounts claimed = camera_.Mock().Counts();
  const auto start = Clock::now();
  camera_.Pull();
  EXPECT_TRUE(vtest::PollUntil([] { return StreamNames().empty(); }));  // the driver's removal ran
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  // The handle left open survives the removal and refuses work.
  DWORD returned = 0;
  std::vector<uint8_t> jpeg(40960);
  EXPECT_FALSE(DeviceIoControl(handle_, IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), jpeg.size(), &returned, nullptr) &&
               returned > 0);
  EXPECT_TRUE(CloseHandle(handle_));
  handle_ = INVALID_HANDLE_VALUE;
  EXPECT_GE(claimed.claims, 1);
}

TEST(UsbRelease, AnUnpluggedCameraGivesItsInterfaceBackToTheKernelDriver) {
  UsbCamera camera("sensor=2,timing=fast", KernelDriver("kernelcam"));
  ASSERT_TRUE(camera.Plug());
  EXPECT_EQ(camera.Mock().Counts().kernelDriverDetaches, 1);
  ASSERT_TRUE(usbhost::UnplugDevice(camera.Id()));  // as at the program's exit
  const usbtestbed::MockDeviceCounts counts = camera.Mock().Counts();
  EXPECT_EQ(counts.releases, counts.claims);
  EXPECT_EQ(counts.kernelDriverReattaches, 1);
}

// Devices that cannot be used: the entry is reported in one line and the boot goes on.
struct Unusable {
  const char* name;
  usbtestbed::MockDeviceOptions options;
  const char* reported;
};

class UsbUnusableTest : public ::testing::TestWithParam<Unusable> {};

TEST_P(UsbUnusableTest, IsReportedWithWhatToDoAndLeftOut) {
  TakeReports();
  UsbCamera camera("sensor=2,timing=fast", GetParam().options);
  const std::vector<usbhost::DeviceId> before = usbhost::PluggedDevices();
  std::string error;
  EXPECT_TRUE(usbhost::PlugDevicesFromConfig(camera.Entry() + ";emu:timing=fast", error)) << error;
  const std::vector<usbhost::DeviceId> after = usbhost::PluggedDevices();
  for (size_t i = before.size(); i < after.size(); ++i) usbhost::UnplugDevice(after[i]);
  EXPECT_EQ(after.size(), before.size() + 1);  // the emulated camera only
  const std::vector<std::string> reports = TakeReports();
  ASSERT_EQ(reports.size(), 1u) << testing::PrintToString(reports);
  EXPECT_NE(reports[0].find("bus " + std::to_string(camera.Mock().bus()) + " address " +
                            std::to_string(camera.Mock().address())),
            std::string::npos)
      << reports[0];
  EXPECT_NE(reports[0].find(GetParam().reported), std::string::npos) << reports[0];
}

INSTANTIATE_TEST_SUITE_P(Devices, UsbUnusableTest,
                         ::testing::Values(Unusable{"Busy", HeldByProgram(), "another program holds"},
                                           Unusable{"VanishedBeforeOpening", WithoutNode(), "went away"}),
                         [](const auto& test) { return std::string(test.param.name); });

// Descriptors the driver refuses, as it does on the emulated backend: the device stays
// with the host, no stream device is made.
class UsbRefusedTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(UsbRefusedTest, NoStreamDeviceIsMade) {
  std::string error;
  auto model = emucam::EmulatedCamera::Create(GetParam().second, error);
  ASSERT_TRUE(model) << error;
  usbhost::DeviceModel described = model->Describe();
  if (std::string(GetParam().first) == "BulkEndpoints") {
    for (auto& interface : described.interfaces) {
      for (auto& endpoint : interface.endpoints) endpoint.bmAttributes = 0x02;
    }
  }
  const size_t streams = StreamNames().size();
  UsbCamera camera(GetParam().second, Descriptors(usbtestbed::DescriptorBytes(described)));
  EXPECT_FALSE(camera.Plug());
  EXPECT_EQ(StreamNames().size(), streams);
  EXPECT_TRUE(TakeReports().empty());  // libusb had no trouble with it; the driver said no
}

INSTANTIATE_TEST_SUITE_P(Descriptors, UsbRefusedTest,
                         ::testing::Values(std::pair{"BulkEndpoints", "timing=fast"},
                                           std::pair{"Packets1024", "timing=fast,packets=1024"},
                                           std::pair{"EndpointInSetting0", "timing=fast,endpoint=setting0"}),
                         [](const auto& test) { return std::string(test.param.first); });

}  // namespace
}  // namespace usbtest
