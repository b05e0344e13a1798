// The client library against the real driver and emulated cameras, through the device
// manager, exactly as programs use it.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "camclient/camclient.h"
#include "platform/devload.h"
#include "platform/windows.h"
#include "testing/booted_system.h"
#include "testing/plugged_camera.h"
#include "velmar/vlm_ioctl.h"

namespace {

// The whole stack in the test process, booted once with one emulated camera (VLM1:).
const auto* const kBootedSystem = ::testing::AddGlobalTestEnvironment(new vtest::BootedSystem({.devices = "emu"}));

constexpr DWORD kUntouched = 0x5EA1;  // a last error no platform call sets

constexpr DWORD kBytesRgb32Full = 640 * 480 * 4;
constexpr DWORD kBytesRgb24Quarter = 320 * 240 * 3;
constexpr DWORD kBytesYuv420Quarter = 320 * 240 * 3 / 2;

// Repeats `call` until it delivers (a result above 0) or about five seconds have passed:
// frames come at the camera's rate, each only once.
int UntilDelivered(const std::function<int()>& call) {
  int result = call();
  for (int attempt = 0; attempt < 500 && result <= 0; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    result = call();
  }
  return result;
}

struct JpegSize {
  int width = 0;
  int height = 0;
};

JpegSize SizeOfJpeg(const std::vector<uint8_t>& image, int length) {
  JpegSize size;
  tjhandle decoder = tjInitDecompress();
  int subsampling = 0;
  int colourspace = 0;
  tjDecompressHeader3(decoder, image.data(), static_cast<unsigned long>(length), &size.width, &size.height,
                      &subsampling, &colourspace);
  tjDestroy(decoder);
  return size;
}

class CameraClient : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int index = 0; index < kCameraSlots; ++index) {
      if (IsCameraOpen(index)) {
        StopCapture(index);
        CloseCamera(index);
      }
    }
  }
};

// Writes and removes entries under the active key beside the driver's own.
class FakeActiveEntries {
 public:
  ~FakeActiveEntries() {
    for (const std::u16string& path : paths_) RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
  }
  void Add(const std::u16string& subKey, const std::u16string* name) {
    const std::u16string path = std::u16string(DEVLOAD_ACTIVE_KEY) + u"\\" + subKey;
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
        ERROR_SUCCESS);
    paths_.push_back(path);
    if (name != nullptr) {
      RegSetValueExW(key, DEVLOAD_DEVNAME_VALNAME, 0, REG_SZ, reinterpret_cast<const BYTE*>(name->c_str()),
                     static_cast<DWORD>((name->size() + 1) * sizeof(char16_t)));
    }
    RegCloseKey(key);
  }

 private:
  std::vector<std::u16string> paths_;
};

}  // namespace

// ---- handle table

TEST_F(CameraClient, NoIndexIsOpenBeforeAnyOpenAndClosingThemDoesNothing) {
  for (int index = -1; index <= kCameraSlots; ++index) {
    EXPECT_FALSE(IsCameraOpen(index)) << index;
    CloseCamera(index);
    EXPECT_FALSE(IsCameraOpen(index)) << index;
  }
}

TEST_F(CameraClient, IndexesOutsideZeroToEightAreRefusedWithoutACall) {
  SetLastError(kUntouched);
  EXPECT_EQ(OpenCamera(9), -1);
  EXPECT_EQ(OpenCamera(-1), -1);
  EXPECT_EQ(GetLastError(), kUntouched);
  EXPECT_FALSE(IsCameraOpen(9));
}

TEST_F(CameraClient, SecondOpenAnswersOneAndKeepsTheOneHandle) {
  ASSERT_EQ(OpenCamera(0), 0);
  EXPECT_TRUE(IsCameraOpen(0));
  EXPECT_EQ(OpenCamera(0), 1);

  // The driver takes one open handle at a time: after one close the device is free.
  CloseCamera(0);
  EXPECT_FALSE(IsCameraOpen(0));
  HANDLE direct =
      CreateFileW(u"VLM1:", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(direct, INVALID_HANDLE_VALUE);
  if (direct != INVALID_HANDLE_VALUE) CloseHandle(direct);
}

TEST_F(CameraClient, OpeningAnAbsentCameraFailsAndLeavesTheSlotClosed) {
  EXPECT_EQ(OpenCamera(6), -1);
  EXPECT_FALSE(IsCameraOpen(6));
}

TEST_F(CameraClient, EveryWrapperOnAnIndexThatIsNotOpenAnswersMinusOneWithoutACall) {
  std::vector<uint8_t> buffer(kBytesRgb32Full);
  DWORD counts[2] = {};
  for (const int index : {3, -1, 9}) {
    SetLastError(kUntouched);
    EXPECT_EQ(GetDriverVersion(index, buffer.data(), 120), -1);
    EXPECT_EQ(SetVideoFormat(index, VLM_FORMAT_JPEG, VLM_SIZE_320X240), -1);
    EXPECT_EQ(SetLightMode(index, 0), -1);
    EXPECT_EQ(SetBandwidth(index, 0), -1);
    EXPECT_EQ(ReadFrame(index, buffer.data(), static_cast<DWORD>(buffer.size())), -1);
    EXPECT_EQ(GetJpegFrame(index, buffer.data(), static_cast<DWORD>(buffer.size())), -1);
    EXPECT_EQ(GetFrameAndJpeg(index, buffer.data(), kBytesRgb24Quarter, buffer.data() + kBytesRgb24Quarter,
                              VLM_MAX_JPEG_BYTES, counts),
              -1);
    EXPECT_EQ(StartCapture(index), -1);
    EXPECT_EQ(StopCapture(index), -1);
    EXPECT_EQ(SetExposure(index, 1, 0), -1);
    EXPECT_EQ(GetLastError(), kUntouched) << "index " << index;
  }
}

// ---- discovery

TEST_F(CameraClient, CountsTheBootedCamera) { EXPECT_EQ(CountCameras(), 1); }

TEST_F(CameraClient, CountsOnlyActiveEntriesWhoseNameBeginsWithVlm) {
  const std::u16string vlm = u"VLM2:";
  const std::u16string other = u"VLX1:";
  const std::u16string lowerCase = u"vlm3:";
  const std::u16string tooShort = u"VL";
  FakeActiveEntries entries;
  entries.Add(u"camclient-test-1", &vlm);
  entries.Add(u"camclient-test-2", &other);
  entries.Add(u"camclient-test-3", &lowerCase);
  entries.Add(u"camclient-test-4", &tooShort);
  entries.Add(u"camclient-test-5", nullptr);
  EXPECT_EQ(CountCameras(), 2);
}

TEST_F(CameraClient, CountFollowsPlugAndUnplug) {
  vtest::PluggedCamera extra;
  ASSERT_TRUE(extra.Plugged());
  EXPECT_EQ(CountCameras(), 2);
  extra.Unplug();
  EXPECT_EQ(CountCameras(), 1);
}

// ---- requests through the real driver

TEST_F(CameraClient, DriverVersionIs120BytesAndNeedsA120ByteBuffer) {
  ASSERT_EQ(OpenCamera(0), 0);
  char16_t text[60] = {};
  EXPECT_EQ(GetDriverVersion(0, text, sizeof(text)), 120);
  EXPECT_EQ(std::u16string(text).rfind(u"VELMAR 5.0.0.1", 0), 0u);
  EXPECT_EQ(GetDriverVersion(0, text, sizeof(text) - 1), -2);
}

TEST_F(CameraClient, VideoFormatTravelsInTheLengthArguments) {
  ASSERT_EQ(OpenCamera(0), 0);
  std::vector<uint8_t> buffer(kBytesRgb32Full);
  const auto read = [&] { return ReadFrame(0, buffer.data(), static_cast<DWORD>(buffer.size())); };

  // Format 2 with size index 0: RGB32 at 640 x 480.
  ASSERT_EQ(SetVideoFormat(0, VLM_FORMAT_RGB32, VLM_SIZE_640X480), 0);
  ASSERT_EQ(StartCapture(0), 0);
  EXPECT_EQ(UntilDelivered(read), static_cast<int>(kBytesRgb32Full));
  ASSERT_EQ(StopCapture(0), 0);

  ASSERT_EQ(SetVideoFormat(0, VLM_FORMAT_YUV420P, VLM_SIZE_320X240), 0);
  ASSERT_EQ(StartCapture(0), 0);
  EXPECT_EQ(UntilDelivered(read), static_cast<int>(kBytesYuv420Quarter));
  ASSERT_EQ(StopCapture(0), 0);

  ASSERT_EQ(SetVideoFormat(0, VLM_FORMAT_JPEG, VLM_SIZE_640X480), 0);
  ASSERT_EQ(StartCapture(0), 0);
  const int jpegBytes = UntilDelivered(read);
  ASSERT_GT(jpegBytes, 0);
  const JpegSize size = SizeOfJpeg(buffer, jpegBytes);
  EXPECT_EQ(size.width, 640);
  EXPECT_EQ(size.height, 480);
}

TEST_F(CameraClient, RefusedRequestsAnswerMinusTwo) {
  ASSERT_EQ(OpenCamera(0), 0);
  EXPECT_EQ(SetVideoFormat(0, 6, VLM_SIZE_320X240), -2);
  EXPECT_EQ(SetVideoFormat(0, VLM_FORMAT_RGB24, 2), -2);
  EXPECT_EQ(SetLightMode(0, 3), -2);
  EXPECT_EQ(SetBandwidth(0, 8), -2);

  std::vector<uint8_t> buffer(kBytesRgb24Quarter);
  // Before capture starts nothing is delivered: the JPEG request fails, a read gives no bytes.
  EXPECT_EQ(GetJpegFrame(0, buffer.data(), static_cast<DWORD>(buffer.size())), -2);
  EXPECT_LE(ReadFrame(0, buffer.data(), static_cast<DWORD>(buffer.size())), 0);

  ASSERT_EQ(SetLightMode(0, 2), 0);
  ASSERT_EQ(SetLightMode(0, 0), 0);
  ASSERT_EQ(SetBandwidth(0, 7), 0);
  ASSERT_EQ(SetBandwidth(0, 0), 0);
  ASSERT_EQ(StartCapture(0), 0);
  EXPECT_EQ(SetVideoFormat(0, VLM_FORMAT_JPEG, VLM_SIZE_320X240), -2) << "capture running";
  EXPECT_EQ(SetLightMode(0, 0), -2);
  EXPECT_EQ(SetBandwidth(0, 1), -2);
}

TEST_F(CameraClient, FrameAndJpegArriveTogetherWithBothByteCounts) {
  ASSERT_EQ(OpenCamera(0), 0);
  ASSERT_EQ(SetVideoFormat(0, VLM_FORMAT_RGB24, VLM_SIZE_320X240), 0);
  ASSERT_EQ(StartCapture(0), 0);
  std::vector<uint8_t> image(kBytesRgb24Quarter);
  std::vector<uint8_t> jpeg(VLM_MAX_JPEG_BYTES);
  DWORD counts[2] = {};
  const int result = UntilDelivered([&] {
    return GetFrameAndJpeg(0, image.data(), static_cast<DWORD>(image.size()), jpeg.data(),
                           static_cast<DWORD>(jpeg.size()), counts) == 0
               ? 1
               : 0;
  });
  ASSERT_EQ(result, 1);
  EXPECT_EQ(counts[0], kBytesRgb24Quarter);
  ASSERT_GT(counts[1], 4u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);

  // The same frame is handed out once by the frame request, repeatedly as JPEG.
  const int first = UntilDelivered([&] { return GetJpegFrame(0, jpeg.data(), static_cast<DWORD>(jpeg.size())); });
  EXPECT_GT(first, 0);
  EXPECT_GT(GetJpegFrame(0, jpeg.data(), static_cast<DWORD>(jpeg.size())), 0);
}

TEST_F(CameraClient, ExposureAndCaptureRequestsSucceedRepeatedly) {
  ASSERT_EQ(OpenCamera(0), 0);
  EXPECT_EQ(SetExposure(0, 1, 0), 0);
  EXPECT_EQ(SetExposure(0, 0, 250), 0);
  EXPECT_EQ(StartCapture(0), 0);
  EXPECT_EQ(StartCapture(0), 0);
  EXPECT_EQ(StopCapture(0), 0);
  EXPECT_EQ(StopCapture(0), 0);
}

TEST_F(CameraClient, UnpluggedCameraStaysOpenAndItsRequestsAnswerMinusTwo) {
  vtest::PluggedCamera extra;
  ASSERT_TRUE(extra.Plugged());
  ASSERT_EQ(OpenCamera(1), 0);
  ASSERT_EQ(SetVideoFormat(1, VLM_FORMAT_JPEG, VLM_SIZE_320X240), 0);
  ASSERT_EQ(StartCapture(1), 0);
  extra.Unplug();

  EXPECT_TRUE(IsCameraOpen(1));
  std::vector<uint8_t> buffer(VLM_MAX_JPEG_BYTES);
  char16_t text[60] = {};
  EXPECT_EQ(ReadFrame(1, buffer.data(), static_cast<DWORD>(buffer.size())), -2);
  EXPECT_EQ(GetJpegFrame(1, buffer.data(), static_cast<DWORD>(buffer.size())), -2);
  EXPECT_EQ(GetDriverVersion(1, text, sizeof(text)), -2);
  EXPECT_EQ(StopCapture(1), -2);
  EXPECT_EQ(SetVideoFormat(1, VLM_FORMAT_JPEG, VLM_SIZE_640X480), -2);
  EXPECT_EQ(SetExposure(1, 1, 0), -1);
  CloseCamera(1);
  EXPECT_FALSE(IsCameraOpen(1));
}
