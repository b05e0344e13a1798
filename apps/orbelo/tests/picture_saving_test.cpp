// SaveBmp and SaveJpg through the dialog and the real driver: the files, their names,
// what independent readers make of them, and a BMP save that cannot succeed.
#include <gtest/gtest.h>

#include <QFile>
#include <QImageReader>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>

#include "bmp_check.h"
#include "camera_test_environment.h"
#include "orbelo/preview_window.h"
#include "orbelo/saved_pictures.h"
#include "orbelo_rig.h"
#include "platform/winbase.h"
#include "testing/jpeg_check.h"

namespace {

const QRegularExpression kTickCountName(QStringLiteral("^-?[0-9]+(-[0-9]+)?\\.(bmp|jpg)$"));

uintmax_t FileSize(const std::string& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

// Waits for the one file of `extension` in `folder` to reach `size` bytes; its name.
std::string WaitForFile(const TestFolder& folder, const std::string& extension, uintmax_t size) {
  std::string name;
  const bool found = QTest::qWaitFor(
      [&] {
        const std::vector<std::string> files = folder.Files(extension);
        if (files.size() != 1 || FileSize(folder.path() + files[0]) != size) return false;
        name = files[0];
        return true;
      },
      10000);
  return found ? name : std::string();
}

class SaveBmpAtDepth : public ::testing::TestWithParam<std::pair<unsigned, uintmax_t>> {};

TEST_P(SaveBmpAtDepth, WritesTheFrameAsABottomUpFileThatReadsBack) {
  const auto [bits, expectedSize] = GetParam();
  TestFolder pictures, saved;
  // Two frames a second: the preview keeps showing the saved frame for a while.
  PluggedCameras cameras({StillCamera(WriteQuadrantPicture(pictures.path()), 2)});
  OrbeloOptions options;
  options.saveDirectory = saved.path();
  options.depth = bits;
  OrbeloRig rig(options);
  rig.Open();
  rig.StartPreview(0);
  ASSERT_TRUE(rig.WaitForPicture());
  rig.dialog().saveBmpButton()->click();

  const std::string name = WaitForFile(saved, ".bmp", expectedSize);
  ASSERT_FALSE(name.empty()) << "no " << expectedSize << "-byte BMP file";
  EXPECT_TRUE(kTickCountName.match(QString::fromStdString(name)).hasMatch()) << name;
  const std::vector<uint8_t> file = ReadFileBytes(saved.path() + name);
  ExpectBmpHeaders(file, bits);

  QImageReader reader(QString::fromStdString(saved.path() + name), "bmp");
  const QImage readBack = reader.read();
  ASSERT_FALSE(readBack.isNull()) << reader.errorString().toStdString();
  ASSERT_EQ(readBack.size(), QSize(320, 240));
  // The file holds exactly the frame the preview showed.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return PixelsDiffering(readBack, rig.dialog().previewWindow()->CurrentFrame(), bits) == 0; }, 3000));
  // And that frame is the camera's picture the right way up.
  const auto near = [](QRgb pixel, int red, int green, int blue) {
    return std::abs(qRed(pixel) - red) < 40 && std::abs(qGreen(pixel) - green) < 40 &&
           std::abs(qBlue(pixel) - blue) < 40;
  };
  EXPECT_TRUE(near(readBack.pixel(80, 60), 255, 0, 0)) << std::hex << readBack.pixel(80, 60);
  EXPECT_TRUE(near(readBack.pixel(240, 60), 0, 255, 0)) << std::hex << readBack.pixel(240, 60);
  EXPECT_TRUE(near(readBack.pixel(80, 180), 0, 0, 255)) << std::hex << readBack.pixel(80, 180);
  EXPECT_TRUE(near(readBack.pixel(240, 180), 255, 255, 255)) << std::hex << readBack.pixel(240, 180);
}

INSTANTIATE_TEST_SUITE_P(Depths, SaveBmpAtDepth,
                         ::testing::Values(std::pair<unsigned, uintmax_t>{16, 153670},
                                           std::pair<unsigned, uintmax_t>{24, 230454},
                                           std::pair<unsigned, uintmax_t>{32, 307254}),
                         [](const auto& depth) { return std::to_string(depth.param.first) + "Bits"; });

// A display deeper than any format of the driver (30 bits) previews and saves at the
// nearest depth the driver delivers.
TEST(SaveBmp, DisplayDepthWithoutADriverFormatFallsBackTo32Bits) {
  TestFolder pictures, saved;
  PluggedCameras cameras({StillCamera(WriteQuadrantPicture(pictures.path()), 5)});
  OrbeloOptions options;
  options.saveDirectory = saved.path();
  options.depth = 30;
  OrbeloRig rig(options);
  rig.Open();
  EXPECT_EQ(rig.dialog().screenBits(), 32u);
  rig.StartPreview(0);
  ASSERT_TRUE(rig.WaitForPicture());
  rig.dialog().saveBmpButton()->click();
  EXPECT_FALSE(WaitForFile(saved, ".bmp", 307254).empty());
}

TEST(SaveJpg, SavesThePreviewedCamerasNewestImage) {
  TestFolder pictures, saved;
  PluggedCameras cameras({"", StillCamera(WriteSolidPicture(pictures.path(), 0, 200, 0), 25)});
  OrbeloOptions options;
  options.saveDirectory = saved.path();
  OrbeloRig rig(options);
  rig.Open();
  rig.StartPreview(1);
  ASSERT_TRUE(rig.WaitForPicture());
  rig.dialog().saveJpgButton()->click();

  ASSERT_TRUE(QTest::qWaitFor([&] { return !saved.Files(".jpg").empty(); }, 10000));
  ASSERT_EQ(saved.Files(".jpg").size(), 1u);
  const std::string name = saved.Files(".jpg")[0];
  EXPECT_TRUE(kTickCountName.match(QString::fromStdString(name)).hasMatch()) << name;
  // The name shows as the file is made, its bytes follow at once.
  std::optional<DecodedJpeg> picture;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        picture = DecodeJpeg(ReadFileBytes(saved.path() + name));
        return picture.has_value();
      },
      3000))
      << "libjpeg-turbo cannot decode " << name;
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, 320);
  EXPECT_EQ(picture->height, 240);
  // The second camera's green, not the first camera's test pattern.
  EXPECT_GT(picture->Mean(1), 150);
  EXPECT_LT(picture->Mean(0), 60);
  EXPECT_LT(picture->Mean(2), 60);
}

TEST(SavedPictures, NamesAreTheTickCountAndNeverReplaceAnOlderPicture) {
  TestFolder saved;
  const uint32_t before = GetTickCount();
  const std::string stem = TickCountStem();
  const uint32_t after = GetTickCount();
  EXPECT_LE(static_cast<uint32_t>(std::stoll(stem)) - before, after - before) << stem;

  // Pictures of an earlier boot hold every name of the coming second.
  constexpr int kTakenNames = 1000;
  const uint32_t start = GetTickCount();
  for (int i = 0; i < kTakenNames; ++i) {
    std::ofstream(saved.path() + std::to_string(static_cast<int32_t>(start + i)) + ".jpg") << "older";
  }
  const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xD9};
  const std::string path = SaveJpgFile(saved.path(), jpeg);
  ASSERT_FALSE(path.empty());
  EXPECT_NE(path.find("-2.jpg"), std::string::npos) << path;
  EXPECT_EQ(ReadFileBytes(path), std::vector<uint8_t>(std::begin(jpeg), std::end(jpeg)));
  for (int i = 0; i < kTakenNames; ++i) {
    const std::string older = saved.path() + std::to_string(static_cast<int32_t>(start + i)) + ".jpg";
    ASSERT_EQ(ReadFileBytes(older), std::vector<uint8_t>({'o', 'l', 'd', 'e', 'r'})) << older;
  }
  EXPECT_TRUE(SaveJpgFile(saved.path(), {}).empty()) << "no frame, no file";
}

TEST(SaveBmp, EachPressWritesItsOwnFile) {
  TestFolder saved;
  PluggedCameras cameras({""});
  OrbeloOptions options;
  options.saveDirectory = saved.path();
  options.depth = 16;
  OrbeloRig rig(options);
  rig.Open();
  rig.StartPreview(0);
  ASSERT_TRUE(rig.WaitForPicture());
  for (size_t press = 1; press <= 2; ++press) {
    rig.dialog().saveBmpButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved.Files(".bmp").size() == press; }, 10000)) << press;
  }
  const std::vector<std::string> files = saved.Files(".bmp");
  EXPECT_NE(files[0], files[1]);
}

TEST(SaveBmp, AFolderThatCannotTakeTheFileIsReportedOnceAPress) {
  TestFolder pictures;
  const std::string notAFolder = pictures.path() + "not-a-folder";
  std::ofstream(notAFolder) << "a plain file";
  PluggedCameras cameras({""});
  OrbeloOptions options;
  options.saveDirectory = notAFolder + "/";
  OrbeloRig rig(options);
  rig.Open();
  rig.StartPreview(0);
  ASSERT_TRUE(rig.WaitForPicture());

  rig.dialog().saveBmpButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.messages().empty(); }, 10000));
  EXPECT_TRUE(rig.messages()[0].contains(QStringLiteral("not-a-folder"))) << rig.messages()[0].toStdString();
  // Frames go on arriving; the failed save is not tried again with them.
  const uint32_t frames = cameras[0].framesSent();
  ASSERT_TRUE(QTest::qWaitFor([&] { return cameras[0].framesSent() >= frames + 5; }, 10000));
  QTest::qWait(100);
  EXPECT_EQ(rig.messages().size(), 1u);

  rig.dialog().saveBmpButton()->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return rig.messages().size() == 2; }, 10000));
  EXPECT_TRUE(rig.dialog().Capturing()) << "the preview goes on";
}

}  // namespace
