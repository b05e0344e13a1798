// Pictures of the window showing the emulated camera, one per display depth and one
// scaled: saved as PNG files in the build folder for a person to look at, and checked
// here in the colour bars of the camera's test pattern.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <cstdlib>

#include "viewer_rig.h"
#include "vistro/viewer_window.h"

namespace {

struct Rgb {
  int r, g, b;
};

// The test pattern's eight bars at 75 %: white, yellow, cyan, green, magenta, red, blue,
// black, across the top 7/12 of the picture.
constexpr Rgb kBars[8] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                          {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};
// JPEG compression, chroma subsampling and 5-6-5 quantisation move colours a little.
constexpr int kTolerance = 32;

struct Case {
  uint32_t depth;
  bool large;
  const char* name;
};

void PrintTo(const Case& screenshot, std::ostream* out) { *out << screenshot.name; }

class Screenshot : public ::testing::TestWithParam<Case> {};

TEST_P(Screenshot, ShowsTheCameraPictureInItsColours) {
  const Case& shot = GetParam();
  ViewerOptions options;
  options.depth = shot.depth;
  options.large = shot.large;
  ViewerRig rig(options);
  ASSERT_TRUE(rig.StartAndRun());
  ASSERT_TRUE(rig.WaitForFramesShown(4));
  QTest::qWait(100);  // let the last repaint land

  // Rendered onto a surface that keeps alpha, as a compositing display's would.
  QImage image(rig.viewer().window()->size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  rig.viewer().window()->render(&image);
  ASSERT_TRUE(QDir().mkpath(VISTRO_SCREENSHOT_DIR));
  const QString file = QStringLiteral(VISTRO_SCREENSHOT_DIR "/vistro-%1.png").arg(shot.name);
  ASSERT_TRUE(image.save(file)) << file.toStdString();

  const PreviewRect rect = CurrentPreviewRect(rig.state());
  const uint32_t left = rect.left, top = rect.top;
  const uint32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  for (int bar = 0; bar < 8; ++bar) {
    const int x = static_cast<int>(left + (2 * bar + 1) * width / 16);
    const int y = static_cast<int>(top + height * 7 / 24);  // halfway down the bars
    const QColor seen = image.pixelColor(x, y);
    const Rgb& want = kBars[bar];
    EXPECT_NEAR(seen.red(), want.r, kTolerance) << "bar " << bar << " at " << x << "," << y;
    EXPECT_NEAR(seen.green(), want.g, kTolerance) << "bar " << bar << " at " << x << "," << y;
    EXPECT_NEAR(seen.blue(), want.b, kTolerance) << "bar " << bar << " at " << x << "," << y;
    EXPECT_EQ(seen.alpha(), 255) << "bar " << bar << ": the picture is opaque at every depth";
  }
  // Around the picture the window is black; the command bar sits on top.
  if (top > 40) {
    EXPECT_EQ(image.pixelColor(static_cast<int>(left) / 2, static_cast<int>(top) - 10), QColor(Qt::black));
  }
  EXPECT_NE(image.pixelColor(2, 2), QColor(Qt::black));
}

INSTANTIATE_TEST_SUITE_P(Depths, Screenshot,
                         ::testing::Values(Case{16, false, "16bit"}, Case{24, false, "24bit"}, Case{32, false, "32bit"},
                                           Case{16, true, "16bit-640x480"}, Case{32, true, "32bit-640x480"},
                                           Case{24, true, "24bit-640x480"}),
                         [](const ::testing::TestParamInfo<Case>& shot) {
                           return std::string(shot.param.name).substr(0, 2) + (shot.param.large ? "Large" : "Native");
                         });

}  // namespace
