// The isochronous stream: frames as the camera sends them, decodable behind the
// driver's constant header, at both sizes, with the exposure acting on the picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include <unistd.h>

#include <turbojpeg.h>

#include "camera_test_support.h"
#include "emucam/test_pattern.h"

namespace emucam {
namespace {

using testing::CaptureFrames;
using testing::DecodeJpeg;
using testing::MakeCamera;
using testing::MeanAbsoluteDifference;
using testing::MeanOf;
using testing::RebuildJpeg;
using testing::TrailingBytes;
using testing::WriteRegister;
using testing::WriteSensor;

struct SizeCase {
  uint8_t sizeRegister;
  int width, height;
};

void PrintTo(const SizeCase& size, std::ostream* out) { *out << size.width << "x" << size.height; }

class StreamAtSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(StreamAtSize, FramesDecodeBehindTheDriversHeaderToThePatternTheyShow) {
  const SizeCase size = GetParam();
  auto camera = MakeCamera("timing=fast,fps=max");
  WriteRegister(*camera, 0x002, size.sizeRegister);
  ASSERT_TRUE(camera->SelectAlternateSetting(0, 7));
  const auto frames = CaptureFrames(*camera, 4);
  ASSERT_EQ(frames.size(), 4u);

  for (size_t n = 0; n < frames.size(); ++n) {
    const auto picture = DecodeJpeg(RebuildJpeg(frames[n], size.width, size.height));
    ASSERT_TRUE(picture) << "frame " << n;
    ASSERT_EQ(picture->width, size.width);
    ASSERT_EQ(picture->height, size.height);
    PlanarImage expected;
    TestPattern(size.width, size.height).Render(static_cast<uint32_t>(n), expected);
    EXPECT_LT(MeanAbsoluteDifference(picture->y, expected.y), 3.0);
    EXPECT_LT(MeanAbsoluteDifference(picture->cb, expected.cb), 3.0);
    EXPECT_LT(MeanAbsoluteDifference(picture->cr, expected.cr), 3.0);
    EXPECT_EQ(ReadFrameNumber(picture->y.data(), size.width, size.width, size.height), n);
  }
}

TEST_P(StreamAtSize, EveryFrameStartsAPacketAndEndsWithAtMost14Bytes) {
  const SizeCase size = GetParam();
  auto camera = MakeCamera("timing=fast,fps=max");
  WriteRegister(*camera, 0x002, size.sizeRegister);
  camera->SelectAlternateSetting(0, 3);  // small packets: frames span many
  const auto frames = CaptureFrames(*camera, 30);
  ASSERT_EQ(frames.size(), 30u);
  std::set<size_t> trailing;
  for (const auto& frame : frames) {
    ASSERT_GT(frame.size(), 18u + 2u);
    EXPECT_EQ(frame[0], 0xFF);
    EXPECT_EQ(frame[1], 0xD8);
    const auto extra = TrailingBytes(frame);
    ASSERT_TRUE(extra);
    EXPECT_LE(*extra, 14u);
    trailing.insert(*extra);
  }
  EXPECT_EQ(trailing.size(), 15u) << "padding should take every length from 0 to 14";
}

INSTANTIATE_TEST_SUITE_P(BothSizes, StreamAtSize, ::testing::Values(SizeCase{0x00, 640, 480}, SizeCase{0x10, 320, 240}),
                         [](const auto& param) { return std::to_string(param.param.width); });

TEST(Stream, NothingStreamsInSettingZeroOrOnAnotherEndpoint) {
  auto camera = MakeCamera("timing=fast");
  std::array<DWORD, 4> requested{1023, 1023, 1023, 1023}, actual{};
  std::vector<uint8_t> buffer(4 * 1023);
  EXPECT_FALSE(camera->IsochIn(0x81, requested, buffer.data(), actual));
  camera->SelectAlternateSetting(0, 2);
  EXPECT_FALSE(camera->IsochIn(0x82, requested, buffer.data(), actual));
  EXPECT_TRUE(camera->IsochIn(0x81, requested, buffer.data(), actual));
  // Packets never exceed the setting's size, whatever the host asks for.
  const DWORD packetSize = camera->Describe().interfaces[2].endpoints[0].wMaxPacketSize;
  for (DWORD length : actual) EXPECT_LE(length, packetSize);
  EXPECT_EQ(actual[0], packetSize);
}

TEST(Stream, EmptyPacketsSeparateFramesAtTheFrameRate) {
  auto camera = MakeCamera("timing=fast,fps=25");
  WriteRegister(*camera, 0x002, 0x10);
  camera->SelectAlternateSetting(0, 7);
  size_t empty = 0;
  const auto frames = CaptureFrames(*camera, 10, &empty);
  ASSERT_EQ(frames.size(), 10u);
  // 40 USB frames per picture; a 320 x 240 frame needs far fewer packets.
  EXPECT_GT(empty, 10u * 20u);
}

TEST(Stream, SelectingASettingAgainRestartsAtAFrameStart) {
  auto camera = MakeCamera("timing=fast,fps=max");
  camera->SelectAlternateSetting(0, 1);  // 128-byte packets: a frame takes many transfers
  std::array<DWORD, 4> requested{128, 128, 128, 128}, actual{};
  std::vector<uint8_t> buffer(4 * 128);
  camera->IsochIn(0x81, requested, buffer.data(), actual);
  camera->IsochIn(0x81, requested, buffer.data(), actual);
  EXPECT_FALSE(buffer[0] == 0xFF && buffer[1] == 0xD8);
  camera->SelectAlternateSetting(0, 1);
  camera->IsochIn(0x81, requested, buffer.data(), actual);
  EXPECT_EQ(buffer[0], 0xFF);
  EXPECT_EQ(buffer[1], 0xD8);
}

TEST(Stream, BrightnessFollowsTheManualExposure) {
  auto camera = MakeCamera("timing=fast,fps=max,sensor=2");
  WriteRegister(*camera, 0x002, 0x10);
  camera->SelectAlternateSetting(0, 7);
  auto meanLuma = [&] {
    const auto frames = CaptureFrames(*camera, 1);
    const auto picture = DecodeJpeg(RebuildJpeg(frames.at(0), 320, 240));
    return picture ? MeanOf(picture->y) : -1.0;
  };
  const double automatic = meanLuma();
  WriteRegister(*camera, 0x180, 0x02);  // manual, as the exposure request sends it
  WriteSensor(*camera, 0x09, 300);
  const double dark = meanLuma();
  WriteSensor(*camera, 0x09, 2000);
  const double bright = meanLuma();
  WriteRegister(*camera, 0x180, 0x42);  // back to automatic
  const double automaticAgain = meanLuma();

  EXPECT_LT(dark, automatic * 0.4);
  EXPECT_GT(bright, automatic * 1.3);
  EXPECT_NEAR(automaticAgain, automatic, 2.0);
}

TEST(Stream, ImageFileIsTheFramesPicture) {
  const auto path = std::filesystem::temp_directory_path() / ("emucam_still_" + std::to_string(::getpid()) + ".ppm");
  {
    std::ofstream file(path, std::ios::binary);
    file << "P6\n# stripes\n64 48\n255\n";
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) file.put(static_cast<char>(x < 32 ? 200 : 30)).put(char(90)).put(char(y * 5));
    }
  }
  auto camera = MakeCamera("timing=fast,fps=max,source=file:" + path.string());
  std::filesystem::remove(path);
  WriteRegister(*camera, 0x002, 0x10);
  camera->SelectAlternateSetting(0, 7);
  const auto picture = DecodeJpeg(RebuildJpeg(CaptureFrames(*camera, 1).at(0), 320, 240));
  ASSERT_TRUE(picture);
  // Left half reddish, right half not: Cr well apart between the halves.
  const int row = 120 * 160;
  EXPECT_GT(picture->cr[row + 40], picture->cr[row + 120] + 40);

  std::string error;
  EXPECT_EQ(EmulatedCamera::Create("source=file:/nonexistent/picture.jpg", error), nullptr);
  EXPECT_NE(error.find("/nonexistent/picture.jpg"), std::string::npos);
}

TEST(Stream, JpegImageFileIsDecodedAndBrokenOnesAreRefused) {
  const auto path = std::filesystem::temp_directory_path() / ("emucam_still_" + std::to_string(::getpid()) + ".jpg");
  std::vector<unsigned char> rgb(64 * 48 * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = (i / 3) % 64 < 32 ? 220 : 20;  // red left half
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  ASSERT_EQ(tjCompress2(handle, rgb.data(), 64, 0, 48, TJPF_RGB, &jpeg, &size, TJSAMP_444, 90, 0), 0);
  std::vector<unsigned char> bytes(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(handle);
  auto writeFile = [&](size_t length) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(length));
  };

  writeFile(bytes.size());
  auto camera = MakeCamera("timing=fast,fps=max,source=file:" + path.string());
  camera->SelectAlternateSetting(0, 7);  // 640 x 480 after power-on
  const auto picture = DecodeJpeg(RebuildJpeg(CaptureFrames(*camera, 1).at(0), 640, 480));
  ASSERT_TRUE(picture);
  const int row = 240 * 320;
  EXPECT_GT(picture->cr[row + 80], picture->cr[row + 240] + 40);

  std::string error;
  writeFile(20);  // cut inside its headers
  EXPECT_EQ(EmulatedCamera::Create("source=file:" + path.string(), error), nullptr);
  EXPECT_NE(error.find("JPEG"), std::string::npos) << error;
  std::filesystem::remove(path);
}

TEST(Stream, ScriptedTimingPlaysThePacketsInOrder) {
  auto camera = MakeCamera("timing=fast");
  camera->SetScript({{0xFF, 0xD8, 1}, {}, {2, 3}, std::vector<uint8_t>(2000, 7)});
  camera->SelectAlternateSetting(0, 7);
  std::array<DWORD, 4> requested{1023, 1023, 1023, 1023}, actual{};
  std::vector<uint8_t> buffer(4 * 1023);
  ASSERT_TRUE(camera->IsochIn(0x81, requested, buffer.data(), actual));
  EXPECT_EQ(actual, (std::array<DWORD, 4>{3, 0, 2, 1023}));  // cut to the packet size
  EXPECT_EQ(buffer[1023 * 2 + 1], 3);
  ASSERT_TRUE(camera->IsochIn(0x81, requested, buffer.data(), actual));
  EXPECT_EQ(actual, (std::array<DWORD, 4>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace emucam
