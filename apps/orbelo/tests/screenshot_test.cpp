// A picture of the dialog while it previews, kept in the build folder for a person to
// look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QtTest/QTest>

#include "camera_test_environment.h"
#include "orbelo/preview_window.h"
#include "orbelo_rig.h"

TEST(Screenshot, DialogWhilePreviewing) {
  PluggedCameras cameras({"", ""});
  OrbeloRig rig({});
  rig.Open();
  rig.StartPreview(0);
  ASSERT_TRUE(rig.WaitForPicture());
  QTest::qWait(200);  // a few more frames, and their repaints

  const QImage shot = rig.dialog().grab().toImage();
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ORBELO_SCREENSHOT_DIR)));
  const QString path = QStringLiteral(ORBELO_SCREENSHOT_DIR "/orbelo-previewing.png");
  ASSERT_TRUE(shot.save(path, "PNG"));
  // The saved picture shows the frame inside the preview window.
  const QImage saved(path);
  ASSERT_EQ(saved.size(), shot.size());
  const QRect preview = rig.dialog().previewWindow()->geometry();
  EXPECT_NE(saved.pixel(preview.center()) & 0xFFFFFF, 0u);
}
