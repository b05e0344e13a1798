// The control interface: every request's checks in their order, what each one writes
// and what it leaves alone, and how the dispatcher reports bad handles and codes.

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "capture_test_support.h"
#include "velmar/velmar.h"

namespace {

using captest::Bytes;
using captest::CameraSession;

constexpr DWORD kUntouched = 0xA5A5A5A5;
constexpr DWORD kUnknownCode = 0xB01B2218;  // function 0x886: not a request of the driver

class ControlTest : public ::testing::Test {
 protected:
  // VLM_IOControl itself, to see the last error it leaves.
  BOOL Direct(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) {
    return VLM_IOControl(reinterpret_cast<DWORD_PTR>(session_.Device()), code, static_cast<PBYTE>(in), inSize,
                         static_cast<PBYTE>(out), outSize, returned);
  }

  // A failed check returns FALSE and leaves the last error as it was.
  void ExpectRefusedQuietly(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) {
    SetLastError(1234);
    EXPECT_FALSE(Direct(code, in, inSize, out, outSize, returned));
    EXPECT_EQ(GetLastError(), 1234u);
  }

  size_t RequestsSent() { return session_.Camera().RawLog().size(); }

  CameraSession session_{"sensor=2,fps=0"};
};

TEST_F(ControlTest, UnknownCodeFailsWithNotSupported) {
  EXPECT_FALSE(session_.Control(kUnknownCode));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  SetLastError(0);
  EXPECT_FALSE(Direct(kUnknownCode, nullptr, 0, nullptr, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST_F(ControlTest, BadClosedOrRemovedHandleFailsWithInvalidHandle) {
  VlmDevice forged;
  DWORD value = 0;
  SetLastError(0);
  EXPECT_FALSE(VLM_IOControl(reinterpret_cast<DWORD_PTR>(&forged), IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, &value));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(VLM_IOControl(0, IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, &value));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  VlmDevice* device = session_.Device();
  session_.Close();  // the record stays while the camera is attached
  SetLastError(0);
  EXPECT_FALSE(VLM_IOControl(reinterpret_cast<DWORD_PTR>(device), IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, &value));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ControlTest, StartTwiceIsTrueWithoutSendingAgainAndStopWhenStoppedIsTrue) {
  EXPECT_TRUE(session_.Stop());
  ASSERT_TRUE(session_.Start());
  ASSERT_TRUE(session_.WaitForFrameStarts(1));  // the thread has selected its setting
  const size_t sent = RequestsSent();
  EXPECT_TRUE(session_.Start());
  EXPECT_EQ(RequestsSent(), sent);
  EXPECT_TRUE(session_.Stop());
  EXPECT_TRUE(session_.Stop());
}

TEST_F(ControlTest, FormatModeAndBandwidthAreRefusedWhileCapturing) {
  ASSERT_TRUE(session_.Start());
  ExpectRefusedQuietly(IOCTL_VLM_SET_FORMAT, nullptr, VLM_FORMAT_JPEG, nullptr, VLM_SIZE_640X480, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_SET_MODE, nullptr, 0, nullptr, 0, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_SET_BANDWIDTH, nullptr, 7, nullptr, 0, nullptr);
  VlmDevice& device = *session_.Device();
  EXPECT_EQ(device.outputFormat, VLM_FORMAT_RGB24);
  EXPECT_EQ(device.lightMode, 2u);
  EXPECT_EQ(device.bandwidthLevel, 0u);
}

TEST_F(ControlTest, SetFormatOutsideTheTablesLeavesTheFormat) {
  ExpectRefusedQuietly(IOCTL_VLM_SET_FORMAT, nullptr, 6, nullptr, VLM_SIZE_320X240, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_SET_FORMAT, nullptr, VLM_FORMAT_RGB24, nullptr, 2, nullptr);
  VlmDevice& device = *session_.Device();
  EXPECT_EQ(device.outputFormat, VLM_FORMAT_RGB24);
  EXPECT_EQ(device.sizeIndex, VLM_SIZE_320X240);
  EXPECT_EQ(device.outputImageSize, 230400u);

  ASSERT_TRUE(session_.SetFormat(VLM_FORMAT_YUV420P, VLM_SIZE_320X240));
  EXPECT_EQ(device.outputImageSize, 115200u);
  EXPECT_EQ(device.bitsPerPixel, 12u);
  EXPECT_EQ(device.converter, nullptr);  // planar formats need no converter
  EXPECT_NE(device.decoder, nullptr);
  ASSERT_TRUE(session_.SetFormat(VLM_FORMAT_JPEG, VLM_SIZE_640X480));
  EXPECT_EQ(device.decoder, nullptr);
  EXPECT_EQ(device.frameWidth, 640u);
  EXPECT_EQ(device.frameHeight, 480u);
}

TEST_F(ControlTest, GetFormatChecksBothBuffersAndNeverWritesPastTheirLengths) {
  ASSERT_TRUE(session_.SetFormat(VLM_FORMAT_RGB565, VLM_SIZE_640X480));
  DWORD format = kUntouched;
  DWORD size = kUntouched;
  ExpectRefusedQuietly(IOCTL_VLM_GET_FORMAT, &format, 4, nullptr, 4, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_GET_FORMAT, nullptr, 4, &size, 4, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_GET_FORMAT, &format, 3, &size, 4, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_GET_FORMAT, &format, 4, &size, 2, nullptr);
  EXPECT_EQ(format, kUntouched);
  EXPECT_EQ(size, kUntouched);
  ASSERT_TRUE(Direct(IOCTL_VLM_GET_FORMAT, &format, 4, &size, 4, nullptr));
  EXPECT_EQ(format, VLM_FORMAT_RGB565);
  EXPECT_EQ(size, VLM_SIZE_640X480);
}

TEST_F(ControlTest, FrameRequestsNeedCaptureRunningAndTheirBuffers) {
  Bytes image(230400);
  Bytes jpeg(40960);
  DWORD sizes[2] = {kUntouched, kUntouched};
  DWORD size = kUntouched;
  ExpectRefusedQuietly(IOCTL_VLM_GET_FRAME, image.data(), 230400, jpeg.data(), 40960, sizes);
  ExpectRefusedQuietly(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, &size);

  ASSERT_TRUE(session_.Start());
  ASSERT_TRUE(session_.WaitForFrameStarts(3));
  ExpectRefusedQuietly(IOCTL_VLM_GET_JPEG, nullptr, 0, nullptr, 40960, &size);
  ExpectRefusedQuietly(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 0, &size);
  EXPECT_EQ(size, kUntouched);
  ExpectRefusedQuietly(IOCTL_VLM_GET_FRAME, nullptr, 230400, jpeg.data(), 40960, sizes);
  ExpectRefusedQuietly(IOCTL_VLM_GET_FRAME, image.data(), 230400, jpeg.data(), 0, sizes);
  ExpectRefusedQuietly(IOCTL_VLM_GET_FRAME, image.data(), 230400, jpeg.data(), 40960, nullptr);
  EXPECT_EQ(sizes[0], kUntouched);
  EXPECT_EQ(session_.Device()->deliveredFrame, 0u);
}

TEST_F(ControlTest, RegisterRequestsCheckBeforeSendingAnything) {
  std::array<BYTE, 4> address{0x10, 0x00, 0xEE, 0xEE};
  std::array<BYTE, 4> value{0x5A, 0x00, 0xEE, 0xEE};
  DWORD result = kUntouched;
  const size_t sent = RequestsSent();
  ExpectRefusedQuietly(IOCTL_VLM_READ_REGISTER, address.data(), 2, &result, 4, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_READ_REGISTER, nullptr, 4, &result, 4, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_READ_REGISTER, address.data(), 4, nullptr, 4, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_READ_REGISTER, address.data(), 4, &result, 8, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_WRITE_REGISTER, address.data(), 4, value.data(), 3, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_WRITE_REGISTER, nullptr, 4, value.data(), 4, nullptr);
  EXPECT_EQ(RequestsSent(), sent);
  EXPECT_EQ(result, kUntouched);

  ASSERT_TRUE(session_.Control(IOCTL_VLM_WRITE_REGISTER, address.data(), 4, value.data(), 4));
  EXPECT_EQ(value, (std::array<BYTE, 4>{0x5A, 0x00, 0xEE, 0xEE}));  // the driver does not write it
  ASSERT_TRUE(session_.Control(IOCTL_VLM_READ_REGISTER, address.data(), 4, &result, 4));
  EXPECT_EQ(result, 0x5Au);
}

TEST_F(ControlTest, RegisterRequestsWhoseTransfersFailReadAllOnesAndWriteFalse) {
  session_.Emu().StallRegister(0x306, emucam::StallMode::Always);
  std::array<BYTE, 4> address{0x10, 0x00, 0, 0};
  std::array<BYTE, 4> value{0x5A, 0x00, 0, 0};
  DWORD result = 0;
  EXPECT_TRUE(session_.Control(IOCTL_VLM_READ_REGISTER, address.data(), 4, &result, 4));
  EXPECT_EQ(result, 0xFFFFFFFFu);
  EXPECT_FALSE(session_.Control(IOCTL_VLM_WRITE_REGISTER, address.data(), 4, value.data(), 4));
}

TEST_F(ControlTest, ManualExposureAboveOneHundredUsesLevelOneHundred) {
  const auto exposureRequests = [&](DWORD automatic, DWORD level) {
    session_.Camera().ClearLog();
    EXPECT_TRUE(session_.Control(IOCTL_VLM_SET_EXPOSURE, nullptr, automatic, nullptr, level));
    return session_.Camera().Log();
  };
  const std::string level100 = exposureRequests(0, 100);
  EXPECT_FALSE(level100.empty());
  EXPECT_EQ(exposureRequests(0, 250), level100);
  EXPECT_EQ(exposureRequests(0, 0xFFFFFFFF), level100);
  EXPECT_NE(exposureRequests(0, 99), level100);
  EXPECT_NE(exposureRequests(1, 250), level100);
}

TEST_F(ControlTest, ModeAndBandwidthAreStoredWithinTheirRanges) {
  DWORD value = kUntouched;
  ExpectRefusedQuietly(IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, nullptr);
  ExpectRefusedQuietly(IOCTL_VLM_GET_BANDWIDTH, nullptr, 0, nullptr, 0, nullptr);
  ASSERT_TRUE(session_.Control(IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, &value));
  EXPECT_EQ(value, 2u);

  ExpectRefusedQuietly(IOCTL_VLM_SET_MODE, nullptr, 3, nullptr, 0, nullptr);
  ASSERT_TRUE(session_.Control(IOCTL_VLM_SET_MODE, nullptr, 0, nullptr, 0));
  ASSERT_TRUE(session_.Control(IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, &value));
  EXPECT_EQ(value, 0u);

  ExpectRefusedQuietly(IOCTL_VLM_SET_BANDWIDTH, nullptr, 8, nullptr, 0, nullptr);
  ASSERT_TRUE(session_.Control(IOCTL_VLM_SET_BANDWIDTH, nullptr, 7, nullptr, 0));
  ASSERT_TRUE(session_.Control(IOCTL_VLM_GET_BANDWIDTH, nullptr, 0, nullptr, 0, &value));
  EXPECT_EQ(value, 7u);
}

TEST_F(ControlTest, SettingsSurviveCloseAndReopen) {
  ASSERT_TRUE(session_.SetFormat(VLM_FORMAT_YUV422P, VLM_SIZE_640X480));
  ASSERT_TRUE(session_.Control(IOCTL_VLM_SET_MODE, nullptr, 0, nullptr, 0));
  ASSERT_TRUE(session_.Control(IOCTL_VLM_SET_BANDWIDTH, nullptr, 3, nullptr, 0));
  session_.Close();
  const HANDLE reopened = drvtest::OpenStream(session_.Camera().StreamName());
  ASSERT_NE(reopened, INVALID_HANDLE_VALUE);
  DWORD format = 0;
  DWORD size = 0;
  DWORD mode = 9;
  DWORD bandwidth = 9;
  DWORD ignored = 0;
  EXPECT_TRUE(DeviceIoControl(reopened, IOCTL_VLM_GET_FORMAT, &format, 4, &size, 4, &ignored, nullptr));
  EXPECT_TRUE(DeviceIoControl(reopened, IOCTL_VLM_GET_MODE, nullptr, 0, nullptr, 0, &mode, nullptr));
  EXPECT_TRUE(DeviceIoControl(reopened, IOCTL_VLM_GET_BANDWIDTH, nullptr, 0, nullptr, 0, &bandwidth, nullptr));
  CloseHandle(reopened);
  EXPECT_EQ(format, VLM_FORMAT_YUV422P);
  EXPECT_EQ(size, VLM_SIZE_640X480);
  EXPECT_EQ(mode, 0u);
  EXPECT_EQ(bandwidth, 3u);
}

TEST_F(ControlTest, VersionTextIsExactly120BytesOfUtf16) {
  std::array<BYTE, 130> out;
  out.fill(0xEE);
  DWORD returned = kUntouched;
  ExpectRefusedQuietly(IOCTL_VLM_GET_VERSION, nullptr, 0, out.data(), 119, &returned);
  ExpectRefusedQuietly(IOCTL_VLM_GET_VERSION, nullptr, 0, nullptr, 120, &returned);
  ExpectRefusedQuietly(IOCTL_VLM_GET_VERSION, nullptr, 0, out.data(), 120, nullptr);
  EXPECT_EQ(out[0], 0xEE);

  ASSERT_TRUE(session_.Control(IOCTL_VLM_GET_VERSION, nullptr, 0, out.data(), 120, &returned));
  EXPECT_EQ(returned, 120u);
  std::u16string text(60, u'\0');
  std::memcpy(text.data(), out.data(), 120);
  EXPECT_EQ(text.rfind(u"VELMAR 5.0.0.1", 0), 0u);
  const size_t end = text.find(u'\0');
  ASSERT_NE(end, std::u16string::npos);
  EXPECT_EQ(text.find_first_not_of(u'\0', end), std::u16string::npos);  // zero padding to the end
  EXPECT_EQ(out[120], 0xEE);
}

}  // namespace
