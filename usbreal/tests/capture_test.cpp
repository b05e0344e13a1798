// Capture and delivery through libusb in every output format at both sizes, with the
// isochronous stream running on the backend's ring of transfers.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "camclient/camclient.h"
#include "testing/jpeg_check.h"
#include "testing/plugged_camera.h"
#include "usb_test_support.h"
#include "velmar/vlm_ioctl.h"

namespace usbtest {
namespace {

struct Case {
  const char* name;
  DWORD format;
  DWORD size;
  int width, height;
  int bytesPerFourPixels;  // 0: a JPEG image
};

class UsbCaptureTest : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    camera_ = new UsbCamera("sensor=2,timing=fast,fps=max");
    ASSERT_TRUE(camera_->Plug());
    ASSERT_EQ(OpenCamera(0), 0);
  }
  static void TearDownTestSuite() {
    CloseCamera(0);
    delete camera_;
    camera_ = nullptr;
  }
  static UsbCamera* camera_;
};
UsbCamera* UsbCaptureTest::camera_ = nullptr;

TEST_P(UsbCaptureTest, DeliversFramesOfTheFormatAndSize) {
  const Case& c = GetParam();
  ASSERT_EQ(SetVideoFormat(0, c.format, c.size), 0);
  ASSERT_EQ(StartCapture(0), 0);
  std::vector<uint8_t> buffer(640 * 480 * 4);
  int got = 0;
  const uint32_t sentBefore = camera_->Emu().framesSent();
  ASSERT_TRUE(vtest::PollUntil([&] {
    got = c.bytesPerFourPixels ? ReadFrame(0, buffer.data(), buffer.size())
                               : GetJpegFrame(0, buffer.data(), buffer.size());
    return got > 0;
  }));
  if (c.bytesPerFourPixels) {
    EXPECT_EQ(got, c.width * c.height * c.bytesPerFourPixels / 4);
  } else {
    const auto decoded = DecodeJpeg(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, c.width);
    EXPECT_EQ(decoded->height, c.height);
  }
  // The stream keeps coming through libusb: later frames are new ones.
  EXPECT_TRUE(vtest::PollUntil([&] { return camera_->Emu().framesSent() > sentBefore + 3; }));
  EXPECT_EQ(StopCapture(0), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, UsbCaptureTest,
                         ::testing::Values(Case{"Jpeg640", VLM_FORMAT_JPEG, VLM_SIZE_640X480, 640, 480, 0},
                                           Case{"Jpeg320", VLM_FORMAT_JPEG, VLM_SIZE_320X240, 320, 240, 0},
                                           Case{"Rgb565_640", VLM_FORMAT_RGB565, VLM_SIZE_640X480, 640, 480, 8},
                                           Case{"Rgb24_320", VLM_FORMAT_RGB24, VLM_SIZE_320X240, 320, 240, 12},
                                           Case{"Rgb32_640", VLM_FORMAT_RGB32, VLM_SIZE_640X480, 640, 480, 16},
                                           Case{"Yuv420_320", VLM_FORMAT_YUV420P, VLM_SIZE_320X240, 320, 240, 6},
                                           Case{"Yuv422_640", VLM_FORMAT_YUV422P, VLM_SIZE_640X480, 640, 480, 8}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace usbtest
