// Frame delivery exactly as programs ask for it: ReadFile and DeviceIoControl on the
// opened "VLMn:" device, with cameras streaming either live or scripted frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "capture_test_support.h"
#include "delivery/frame_decode.h"
#include "image/colour_converter.h"

namespace {

using captest::Bytes;
using captest::CameraFrame;
using captest::CameraSession;
using captest::RebuiltJpeg;
using captest::Script;

constexpr DWORD kRgb24Qvga = 320 * 240 * 3;
constexpr DWORD kLargestImage = 640 * 480 * 4;

struct FormatCase {
  DWORD format;
  DWORD sizeIndex;
  DWORD width;
  DWORD height;
  DWORD bytes;  // 0: a JPEG image of its own length
};

DWORD Be16(const Bytes& data, size_t offset) { return DWORD(data[offset]) << 8 | data[offset + 1]; }

// Streams frames of the test pattern, back to back in real time.
class LiveDeliveryTest : public ::testing::Test {
 protected:
  CameraSession session_{"sensor=2,fps=0"};
};

TEST_F(LiveDeliveryTest, EveryFormatAtBothSizesDeliversItsImageSize) {
  const FormatCase cases[] = {
      {VLM_FORMAT_RGB565, 0, 640, 480, 614400},  {VLM_FORMAT_RGB565, 1, 320, 240, 153600},
      {VLM_FORMAT_RGB24, 0, 640, 480, 921600},   {VLM_FORMAT_RGB24, 1, 320, 240, 230400},
      {VLM_FORMAT_RGB32, 0, 640, 480, 1228800},  {VLM_FORMAT_RGB32, 1, 320, 240, 307200},
      {VLM_FORMAT_YUV420P, 0, 640, 480, 460800}, {VLM_FORMAT_YUV420P, 1, 320, 240, 115200},
      {VLM_FORMAT_JPEG, 0, 640, 480, 0},         {VLM_FORMAT_JPEG, 1, 320, 240, 0},
      {VLM_FORMAT_YUV422P, 0, 640, 480, 614400}, {VLM_FORMAT_YUV422P, 1, 320, 240, 153600},
  };
  Bytes buffer;
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " size " << c.sizeIndex);
    ASSERT_TRUE(session_.SetFormat(c.format, c.sizeIndex));
    DWORD size = 99;
    DWORD format = 99;
    ASSERT_TRUE(session_.Control(IOCTL_VLM_GET_FORMAT, &format, 4, &size, 4));
    EXPECT_EQ(format, c.format);
    EXPECT_EQ(size, c.sizeIndex);

    ASSERT_TRUE(session_.Start());
    const DWORD read = session_.ReadNextFrame(buffer, kLargestImage);
    ASSERT_TRUE(session_.Stop());
    if (c.bytes != 0) {
      EXPECT_EQ(read, c.bytes);
      continue;
    }
    ASSERT_GT(read, 600u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), (Bytes{0xFF, 0xD8, 0xFF, 0xDB}));
    EXPECT_EQ(buffer[556], 0xFF);
    EXPECT_EQ(buffer[557], 0xC0);  // SOF0
    EXPECT_EQ(Be16(buffer, 561), c.height);
    EXPECT_EQ(Be16(buffer, 563), c.width);
    const Bytes end = {0xFF, 0xD9};
    EXPECT_NE(std::search(buffer.begin() + read - 16, buffer.begin() + read, end.begin(), end.end()),
              buffer.begin() + read);
  }
}

TEST_F(LiveDeliveryTest, SetFormatWithInputLengthFourAndOutputLengthZeroDeliversVgaJpeg) {
  ASSERT_TRUE(session_.SetFormat(4, 0));
  ASSERT_TRUE(session_.Start());
  Bytes buffer;
  const DWORD read = session_.ReadNextFrame(buffer, 40960);
  ASSERT_GT(read, 589u);
  EXPECT_EQ(Be16(buffer, 561), 480u);
  EXPECT_EQ(Be16(buffer, 563), 640u);
}

TEST_F(LiveDeliveryTest, GetFrameWithTooSmallJpegBufferStillDeliversRgb) {
  ASSERT_TRUE(session_.Start());
  Bytes image(kRgb24Qvga);
  Bytes jpeg(16);
  DWORD sizes[2] = {77, 77};
  ASSERT_TRUE(captest::PollUntil([&] {
    return session_.Control(IOCTL_VLM_GET_FRAME, image.data(), kRgb24Qvga, jpeg.data(), 16, sizes) != FALSE;
  }));
  EXPECT_EQ(sizes[0], kRgb24Qvga);
  EXPECT_EQ(sizes[1], 0u);
}

// Frames of a script: after it has played, the capture thread has seen exactly the
// script's frame starts, so every outcome is fixed.
class ScriptedDeliveryTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 240;

  // Plays `frames` (starting capture if needed) and waits until all of their starts
  // have been seen.
  void Play(const std::vector<Bytes>& frames) { PlayPackets(Script(frames), frames.size()); }

  void PlayPackets(std::vector<Bytes> packets, size_t frameStarts) {
    session_.Emu().SetScript(std::move(packets));
    if (!session_.Device()->streamingRunning) {
      starts_ = 0;
      ASSERT_TRUE(session_.Start());
    }
    starts_ += static_cast<uint32_t>(frameStarts);
    ASSERT_TRUE(session_.WaitForFrameStarts(starts_));
  }

  static Bytes Frame(uint32_t number, size_t trailing = 0) { return CameraFrame(kWidth, kHeight, number, trailing); }

  VlmDevice& Device() { return *session_.Device(); }

  // The frame has been handed out: the next read waits for a further frame start.
  bool Consumed() { return Device().deliveredFrame == Device().frameCounter; }

  CameraSession session_{"sensor=2,timing=fast"};  // scripted once Play sets a script
  uint32_t starts_ = 0;
  Bytes buffer_;
};

TEST_F(ScriptedDeliveryTest, DefaultRgb24ReadNeedsTheWholeImageAndConsumesTheFrameEitherWay) {
  Play({Frame(1), Frame(2), Frame(3)});
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga - 1), 0u);
  EXPECT_TRUE(Consumed());
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), 0u);  // no new frame since

  Play({Frame(4), Frame(5)});
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), kRgb24Qvga);
  EXPECT_TRUE(Consumed());
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), 0u);
}

TEST_F(ScriptedDeliveryTest, FewerThanTwoFrameStartsDeliverNothing) {
  Play({Frame(1)});
  Bytes jpeg(40960);
  DWORD size = 0;
  DWORD sizes[2] = {};
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), 0u);
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_FRAME, buffer_.data(), kRgb24Qvga, jpeg.data(), 40960, sizes));
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, &size));
}

TEST_F(ScriptedDeliveryTest, DataBeforeTheFirstFrameStartIsNeverDelivered) {
  Bytes stray = Frame(9);
  stray.erase(stray.begin(), stray.begin() + 2);  // a frame whose start went missing
  PlayPackets(Script({stray, Frame(1)}), 1);
  Bytes jpeg(40960);
  DWORD size = 0;
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, &size));
  Play({Frame(2)});
  ASSERT_TRUE(session_.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, &size));
  jpeg.resize(size);
  EXPECT_EQ(jpeg, RebuiltJpeg(Frame(1), kWidth, kHeight));
}

TEST_F(ScriptedDeliveryTest, FourteenTrailingBytesAreDeliveredFifteenAreNot) {
  ASSERT_TRUE(session_.SetFormat(VLM_FORMAT_JPEG, VLM_SIZE_320X240));
  Play({Frame(1, 14), Frame(2)});
  const DWORD read = session_.Read(buffer_, 40960);
  EXPECT_EQ(Bytes(buffer_.begin(), buffer_.begin() + read), RebuiltJpeg(Frame(1, 14), kWidth, kHeight));

  Play({Frame(3, 15), Frame(4)});
  EXPECT_EQ(session_.Read(buffer_, 40960), 0u);
  EXPECT_TRUE(Consumed());
}

TEST_F(ScriptedDeliveryTest, GetJpegRepeatsTheNewestFrameGetFrameHandsItOutOnce) {
  Play({Frame(1), Frame(2), Frame(3)});
  const Bytes expected = RebuiltJpeg(Frame(2), kWidth, kHeight);
  for (int call = 0; call < 2; ++call) {
    Bytes jpeg(40960);
    DWORD size = 0;
    ASSERT_TRUE(session_.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, &size));
    jpeg.resize(size);
    EXPECT_EQ(jpeg, expected) << "call " << call;
  }
  EXPECT_EQ(Device().deliveredFrame, 0u);  // GET_JPEG does not hand the frame out

  Bytes image(kRgb24Qvga);
  Bytes jpeg(40960);
  DWORD sizes[2] = {};
  ASSERT_TRUE(session_.Control(IOCTL_VLM_GET_FRAME, image.data(), kRgb24Qvga, jpeg.data(), 40960, sizes));
  EXPECT_EQ(sizes[0], kRgb24Qvga);
  EXPECT_EQ(Bytes(jpeg.begin(), jpeg.begin() + sizes[1]), expected);
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_FRAME, image.data(), kRgb24Qvga, jpeg.data(), 40960, sizes));
}

TEST_F(ScriptedDeliveryTest, GetJpegIntoTooSmallBufferIsTrueWithSizeZero) {
  Play({Frame(1), Frame(2)});
  const DWORD length = static_cast<DWORD>(RebuiltJpeg(Frame(1), kWidth, kHeight).size());
  Bytes jpeg(length);
  DWORD size = 55;
  EXPECT_TRUE(session_.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), length - 1, &size));
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(session_.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), length, &size));
  EXPECT_EQ(size, length);
}

TEST_F(ScriptedDeliveryTest, FrameWithoutEndOfImageIsConsumedByEveryPathButGetJpeg) {
  Bytes broken = Frame(1);
  broken.resize(broken.size() - 2);  // FF D9 cut off
  Play({broken, Frame(2)});
  Bytes jpeg(40960);
  DWORD size = 55;
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, &size));
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(Device().deliveredFrame, 0u);

  Bytes image(kRgb24Qvga);
  DWORD sizes[2] = {};
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_FRAME, image.data(), kRgb24Qvga, jpeg.data(), 40960, sizes));
  EXPECT_TRUE(Consumed());
}

TEST_F(ScriptedDeliveryTest, OversizedFrameIsNeverDeliveredAndTheNextOneIs) {
  Bytes huge = Frame(1);
  huge.insert(huge.end() - 2, 45000, 0x00);
  Play({huge, Frame(2), Frame(3)});
  Bytes jpeg(40960);
  DWORD size = 0;
  ASSERT_TRUE(session_.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, &size));
  jpeg.resize(size);
  EXPECT_EQ(jpeg, RebuiltJpeg(Frame(2), kWidth, kHeight));

  Play({huge, Frame(4)});
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_JPEG, nullptr, 0, jpeg.data(), 40960, &size));
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), 0u);
  EXPECT_TRUE(Consumed());
}

TEST_F(ScriptedDeliveryTest, GetFrameIntoTooSmallImageBufferConsumesTheFrameButMayCopyTheJpeg) {
  Play({Frame(1), Frame(2)});
  Bytes image(kRgb24Qvga);
  Bytes jpeg(40960);
  DWORD sizes[2] = {};
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_FRAME, image.data(), kRgb24Qvga - 1, jpeg.data(), 40960, sizes));
  EXPECT_EQ(sizes[0], 0u);
  EXPECT_EQ(Bytes(jpeg.begin(), jpeg.begin() + sizes[1]), RebuiltJpeg(Frame(1), kWidth, kHeight));
  EXPECT_TRUE(Consumed());
}

// ---- decoder failures and faults ----

std::atomic<int> decodeCalls{0};

std::int32_t FailingDecode(JpegDecoder*, const JpegInput*, DecodedImage*) {
  ++decodeCalls;
  return -1;
}

std::int32_t FaultingDecode(JpegDecoder*, const JpegInput*, DecodedImage*) {
  ++decodeCalls;
  throw std::runtime_error("decoder fault");
}

class DecoderFaultTest : public ScriptedDeliveryTest {
 protected:
  void SetUp() override {
    decodeCalls = 0;
    flash_ = std::filesystem::temp_directory_path() / ("velmar-flash-" + std::to_string(getpid()));
    std::filesystem::remove_all(flash_);
    setenv("VELMAR_FLASH_DIR", flash_.c_str(), 1);
  }
  void TearDown() override {
    SetDecodeRoutine(nullptr);
    std::filesystem::remove_all(flash_);
  }
  std::filesystem::path Dump() const { return flash_ / "except.jpg"; }
  std::filesystem::path flash_;
};

TEST_F(DecoderFaultTest, FailedDecodeKeepsTheFrameForTheNextRead) {
  Play({Frame(1), Frame(2)});
  SetDecodeRoutine(&FailingDecode);
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), 0u);
  DWORD sizes[2] = {};
  Bytes jpeg(40960);
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_FRAME, buffer_.data(), kRgb24Qvga, jpeg.data(), 40960, sizes));
  EXPECT_EQ(decodeCalls, 2);
  EXPECT_EQ(Device().deliveredFrame, 0u);
  EXPECT_FALSE(std::filesystem::exists(Dump()));  // a failure is no fault

  SetDecodeRoutine(nullptr);
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), kRgb24Qvga);
}

TEST_F(DecoderFaultTest, FaultDumpsTheImageOnceAndTheNextReadRetries) {
  Play({Frame(1), Frame(2)});
  SetDecodeRoutine(&FaultingDecode);
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), 0u);
  ASSERT_TRUE(std::filesystem::exists(Dump()));
  std::ifstream file(Dump(), std::ios::binary);
  const Bytes dumped{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EXPECT_EQ(dumped, RebuiltJpeg(Frame(1), kWidth, kHeight));
  std::filesystem::remove(Dump());

  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), 0u);
  EXPECT_EQ(decodeCalls, 2);  // the same frame was tried again
  EXPECT_FALSE(std::filesystem::exists(Dump()));

  // A fault in GET_FRAME gives FALSE and keeps the frame too.
  DWORD sizes[2] = {};
  Bytes jpeg(40960);
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_FRAME, buffer_.data(), kRgb24Qvga, jpeg.data(), 40960, sizes));
  EXPECT_EQ(Device().deliveredFrame, 0u);

  SetDecodeRoutine(nullptr);
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), kRgb24Qvga);
}

TEST_F(ScriptedDeliveryTest, MissingDecodingObjectsAfterSetFormatDeliverNothing) {
  // What a set-format leaves behind when its allocations fail: the format without its
  // converter and 4:2:0 buffer.
  ASSERT_TRUE(session_.SetFormat(VLM_FORMAT_RGB32, VLM_SIZE_320X240));
  DestroyConverter(Device().converter);
  Device().converter = nullptr;
  Play({Frame(1), Frame(2)});
  Bytes jpeg(40960);
  DWORD sizes[2] = {};
  EXPECT_EQ(session_.Read(buffer_, kLargestImage), 0u);
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_FRAME, buffer_.data(), kLargestImage, jpeg.data(), 40960, sizes));
  EXPECT_EQ(Device().deliveredFrame, 0u);

  ASSERT_TRUE(session_.Stop());
  ASSERT_TRUE(session_.SetFormat(VLM_FORMAT_RGB32, VLM_SIZE_320X240));
  Play({Frame(3), Frame(4)});
  EXPECT_EQ(session_.Read(buffer_, kLargestImage), 320u * 240u * 4u);
}

}  // namespace

// ---- how often a failing frame is decoded ----

TEST_F(DecoderFaultTest, AFrameThatKeepsFailingIsDecodedFourTimesThenConsumed) {
  for (const DecodeRoutine routine : {&FailingDecode, &FaultingDecode}) {
    SCOPED_TRACE(routine == &FailingDecode ? "failing decoder" : "faulting decoder");
    const uint32_t first = starts_ + 1;
    Play({Frame(first), Frame(first + 1)});
    decodeCalls = 0;
    SetDecodeRoutine(routine);
    Bytes jpeg(40960);
    DWORD sizes[2] = {};
    // Both paths share the count: three reads and a frame request.
    for (int attempt = 1; attempt <= 3; ++attempt) {
      EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), 0u);
      EXPECT_FALSE(Consumed()) << "attempt " << attempt;
    }
    EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_FRAME, buffer_.data(), kRgb24Qvga, jpeg.data(), 40960, sizes));
    EXPECT_TRUE(Consumed());
    EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), 0u);
    EXPECT_EQ(decodeCalls, 4);

    // The next frame is tried afresh and, with a working decoder, delivered.
    Play({Frame(first + 2)});
    SetDecodeRoutine(nullptr);
    EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), kRgb24Qvga);
  }
}

// ---- a frame that begins while another is delivered ----

class MarkingTest;
MarkingTest* deliveringFixture = nullptr;

class MarkingTest : public ScriptedDeliveryTest {
 public:
  void PlayDuringDelivery() { Play({Frame(3)}); }

 protected:
  void SetUp() override { deliveringFixture = this; }
  void TearDown() override { SetDecodeRoutine(nullptr); }
};

// Decodes as usual, but first makes the camera begin a frame and waits until the capture
// thread has seen it.
std::int32_t DecodeWhileAFrameBegins(JpegDecoder* decoder, const JpegInput* input, DecodedImage* decoded) {
  deliveringFixture->PlayDuringDelivery();
  return DecodeImage(decoder, input, decoded);
}

// The frame is marked with the counter that chose it: the frame completed during its
// delivery comes next, and nothing goes out twice.
TEST_F(MarkingTest, AFrameCompletedDuringDeliveryIsTheNextOneDelivered) {
  Play({Frame(1), Frame(2)});
  SetDecodeRoutine(&DecodeWhileAFrameBegins);
  EXPECT_EQ(session_.Read(buffer_, kRgb24Qvga), kRgb24Qvga);
  SetDecodeRoutine(nullptr);
  EXPECT_EQ(Device().frameCounter, 3u);
  EXPECT_EQ(Device().deliveredFrame, 2u);

  const auto next = session_.NextFrame(kRgb24Qvga);
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->jpeg, RebuiltJpeg(Frame(2), kWidth, kHeight));
  Bytes jpeg(40960);
  DWORD sizes[2] = {};
  EXPECT_FALSE(session_.Control(IOCTL_VLM_GET_FRAME, buffer_.data(), kRgb24Qvga, jpeg.data(), 40960, sizes));
}

// ---- no frame of another size or format after a format change ----

struct FormatChange {
  DWORD format;
  DWORD sizeIndex;
};

class FormatChangeTest : public ScriptedDeliveryTest, public ::testing::WithParamInterface<FormatChange> {};

// Frames captured at 320 x 240 in RGB24, then STOP and SET_FORMAT: not one read hands
// out an old frame, whatever the new format and size; frames captured after the next
// start are delivered.
TEST_P(FormatChangeTest, ReadsAfterStopAndSetFormatDeliverNoFrameOfTheOldFormat) {
  Play({Frame(1), Frame(2), Frame(3)});
  ASSERT_TRUE(session_.Stop());
  ASSERT_TRUE(session_.SetFormat(GetParam().format, GetParam().sizeIndex));
  for (int read = 0; read < 3; ++read) EXPECT_EQ(session_.Read(buffer_, kLargestImage), 0u) << "read " << read;

  const int width = GetParam().sizeIndex == VLM_SIZE_640X480 ? 640 : 320;
  const int height = width * 3 / 4;
  session_.Emu().SetScript(Script({CameraFrame(width, height, 4), CameraFrame(width, height, 5)}));
  ASSERT_TRUE(session_.Start());
  ASSERT_TRUE(session_.WaitForFrameStarts(2));
  const DWORD read = session_.Read(buffer_, kLargestImage);
  if (GetParam().format == VLM_FORMAT_JPEG) {
    EXPECT_EQ(Bytes(buffer_.begin(), buffer_.begin() + read),
              RebuiltJpeg(CameraFrame(width, height, 4), width, height));
  } else {
    EXPECT_EQ(read, Device().outputImageSize);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFormatAtBothSizes, FormatChangeTest, ::testing::ValuesIn([] {
                           std::vector<FormatChange> changes;
                           for (DWORD format = VLM_FORMAT_RGB565; format <= VLM_FORMAT_YUV422P; ++format)
                             for (DWORD size : {VLM_SIZE_640X480, VLM_SIZE_320X240}) changes.push_back({format, size});
                           return changes;
                         }()),
                         [](const testing::TestParamInfo<FormatChange>& change) {
                           return "Format" + std::to_string(change.param.format) +
                                  (change.param.sizeIndex == 0 ? "Vga" : "Qvga");
                         });

// ---- damaged scans from the camera ----

std::atomic<int> failedDecodes{0};

std::int32_t CountingDecode(JpegDecoder* decoder, const JpegInput* input, DecodedImage* decoded) {
  ++decodeCalls;
  const std::int32_t size = DecodeImage(decoder, input, decoded);
  if (size <= 0) ++failedDecodes;
  return size;
}

// A camera whose every frame has garbled scan data, read every millisecond for a second:
// the frames come out as the library conceals them, and no frame is decoded over and
// over.
TEST(DamagedScanTest, ConcealedFramesAreDeliveredAndFailuresAreNotDecodedAgainAndAgain) {
  CameraSession session("sensor=2,fault=corrupt");
  decodeCalls = 0;
  failedDecodes = 0;
  SetDecodeRoutine(&CountingDecode);
  ASSERT_TRUE(session.Start());
  Bytes buffer;
  int delivered = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (std::chrono::steady_clock::now() < end) {
    if (session.Read(buffer, kRgb24Qvga) == kRgb24Qvga) ++delivered;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(session.Stop());
  SetDecodeRoutine(nullptr);
  const int starts = static_cast<int>(session.Device()->frameCounter);
  std::printf("  %d frame starts, %d frames delivered, %d decodes, %d failed\n", starts, delivered, decodeCalls.load(),
              failedDecodes.load());
  ASSERT_GE(starts, 10);
  EXPECT_GE(delivered, starts - 3);  // the first start completes no frame; the last may be in flight
  EXPECT_LE(decodeCalls, delivered + 4 * failedDecodes);
  EXPECT_LE(decodeCalls, 4 * starts);
}
