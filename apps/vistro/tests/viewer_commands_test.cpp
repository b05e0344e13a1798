// The menu commands: each one only in its state, checks that move only when the driver
// takes the request, the driver's version, exposure, snapshots and full screen.
#include <gtest/gtest.h>

#include <QDir>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>

#include "camclient/camclient.h"
#include "emucam/request_log.h"
#include "testing/jpeg_check.h"
#include "velmar/vlm_ioctl.h"
#include "viewer_rig.h"
#include "vistro/viewer_ids.h"
#include "vistro/viewer_menu.h"
#include "vistro/viewer_window.h"
#include "vistro_test_environment.h"

using namespace viewer_ids;

namespace {

// The camera's requests from now on, in the tables' notation.
class RequestWatch {
 public:
  RequestWatch() { TestCamera().ClearRequestLog(); }
  std::string Requests() const { return emucam::FormatRequests(TestCamera().RequestLog(), true); }
};

// A viewer whose posted Start has not run yet: idle, as after Stop.
class IdleViewer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig_.viewer().StartUp()); }
  Viewer& viewer() { return rig_.viewer(); }
  ViewerMenu& menu() { return *rig_.viewer().menu(); }
  ViewerRig rig_;
};

// A viewer with a run going.
class RunningViewer : public IdleViewer {
 protected:
  void SetUp() override {
    IdleViewer::SetUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig_.state().running.load(); }, 5000));
    ASSERT_TRUE(rig_.WaitForFramesShown(2));
  }
};

TEST_F(IdleViewer, RunningOnlyCommandsDoNothing) {
  viewer().Command(kStop);
  viewer().Command(kSnapshot);
  viewer().Command(kFullScreen);
  viewer().Command(kExposure);
  EXPECT_FALSE(rig_.state().running);
  EXPECT_EQ(rig_.state().frameThread, nullptr);
  EXPECT_TRUE(QDir(QString::fromStdString(rig_.folder())).isEmpty());
  EXPECT_FALSE(rig_.state().fullScreen);
  EXPECT_EQ(rig_.prompts().exposureQuestions, 0);
  EXPECT_FALSE(menu().IsEnabled(kStop));
}

TEST_F(RunningViewer, IdleOnlyCommandsDoNothing) {
  const HANDLE thread = rig_.state().frameThread;
  viewer().Command(kStart);
  EXPECT_EQ(rig_.state().frameThread, thread);
  viewer().Command(kAbout);
  viewer().Command(kSetCaptureFile);
  viewer().Command(kSize640x480);
  EXPECT_TRUE(rig_.prompts().messages.empty());
  EXPECT_EQ(rig_.prompts().captureFileQuestions, 0);
  EXPECT_EQ(rig_.state().imageWidth, 320u);
  EXPECT_TRUE(menu().IsChecked(kSize320x240));
  EXPECT_TRUE(rig_.WaitForFramesShown(2));  // the run goes on
}

TEST_F(IdleViewer, SizeCheckMovesWhenTheDriverTakesTheFormat) {
  viewer().Command(kSize640x480);
  EXPECT_TRUE(rig_.prompts().messages.empty());
  EXPECT_EQ(rig_.state().imageWidth, 640u);
  EXPECT_EQ(rig_.state().imageHeight, 480u);
  EXPECT_TRUE(menu().IsChecked(kSize640x480));
  EXPECT_FALSE(menu().IsChecked(kSize320x240));
  {
    PreviewLockGuard lock(rig_.state());
    ASSERT_NE(rig_.state().preview.scaler, nullptr);
    EXPECT_EQ(rig_.state().preview.scaler->sourceWidth, 640u);
  }
  // Frames of the new size reach the preview.
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig_.state().running.load(); }, 5000));
  EXPECT_TRUE(rig_.WaitForFramesShown(2));
}

TEST_F(IdleViewer, RefusedSizeIsReportedAndChangesNothing) {
  // The driver refuses format changes while capture runs.
  ASSERT_EQ(StartCapture(0), 0);
  viewer().Command(kSize640x480);
  StopCapture(0);
  ASSERT_EQ(rig_.prompts().messages.size(), 1u);
  const ShownMessage& message = rig_.prompts().messages[0];
  EXPECT_EQ(message.caption, "Error");
  EXPECT_EQ(message.text, "Set video format failed!");
  EXPECT_EQ(message.icon, QMessageBox::Critical);
  EXPECT_EQ(rig_.state().imageWidth, 320u);
  EXPECT_TRUE(menu().IsChecked(kSize320x240));
  EXPECT_FALSE(menu().IsChecked(kSize640x480));
}

TEST_F(IdleViewer, ModeAndBandwidthChecksMoveOnlyWhenAccepted) {
  viewer().Command(kMode50Hz);
  EXPECT_TRUE(menu().IsChecked(kMode50Hz));
  EXPECT_FALSE(menu().IsChecked(kModeOutdoor));
  viewer().Command(kBandwidthAuto + 5);
  for (int id = kBandwidthAuto; id <= kBandwidthLevel7; ++id) EXPECT_EQ(menu().IsChecked(id), id == kBandwidthAuto + 5);

  ASSERT_EQ(StartCapture(0), 0);  // now the driver refuses both
  viewer().Command(kModeOutdoor);
  viewer().Command(kBandwidthAuto);
  StopCapture(0);
  EXPECT_TRUE(menu().IsChecked(kMode50Hz));
  EXPECT_FALSE(menu().IsChecked(kModeOutdoor));
  for (int id = kBandwidthAuto; id <= kBandwidthLevel7; ++id) EXPECT_EQ(menu().IsChecked(id), id == kBandwidthAuto + 5);
  EXPECT_TRUE(rig_.prompts().messages.empty());  // no message for these
}

TEST_F(IdleViewer, ChoosingACheckedItemThroughTheMenuDoesNotClearIt) {
  ASSERT_EQ(StartCapture(0), 0);
  menu().action(kModeOutdoor)->trigger();  // refused by the driver
  menu().action(kMode50Hz)->trigger();     // refused too
  StopCapture(0);
  EXPECT_TRUE(menu().IsChecked(kModeOutdoor));
  EXPECT_FALSE(menu().IsChecked(kMode50Hz));
  menu().action(kMode50Hz)->trigger();  // accepted
  EXPECT_TRUE(menu().IsChecked(kMode50Hz));
  EXPECT_FALSE(menu().IsChecked(kModeOutdoor));
}

TEST_F(RunningViewer, ModeWhileRunningIsRefusedByTheDriver) {
  EXPECT_FALSE(menu().IsEnabled(kMode50Hz));  // grayed, but the command still stands
  viewer().Command(kMode50Hz);
  viewer().Command(kBandwidthLevel7);
  EXPECT_TRUE(menu().IsChecked(kModeOutdoor));
  EXPECT_TRUE(menu().IsChecked(kBandwidthAuto));
  EXPECT_FALSE(menu().IsChecked(kBandwidthLevel7));
}

TEST_F(IdleViewer, AboutShowsTheDriversVersionText) {
  char16_t expected[VLM_VERSION_BYTES / 2 + 1] = {};
  ASSERT_EQ(GetDriverVersion(0, expected, VLM_VERSION_BYTES), static_cast<int>(VLM_VERSION_BYTES));
  viewer().Command(kAbout);
  ASSERT_EQ(rig_.prompts().messages.size(), 1u);
  const ShownMessage& message = rig_.prompts().messages[0];
  EXPECT_EQ(message.caption, "Driver Version");
  EXPECT_EQ(message.icon, QMessageBox::Information);
  EXPECT_TRUE(message.owned);
  EXPECT_FALSE(message.text.isEmpty());
  EXPECT_EQ(message.text, QString::fromUtf16(expected));
}

TEST_F(RunningViewer, ExposureSendsWhatTheDialogAnswers) {
  {
    RequestWatch watch;
    rig_.prompts().exposureAnswers = {37};
    viewer().Command(kExposure);
    // Manual exposure 37 is 740 (0x02E4) in the sensor's exposure register.
    EXPECT_NE(watch.Requests().find("180=02"), std::string::npos) << watch.Requests();
    EXPECT_NE(watch.Requests().find("S09=02E4"), std::string::npos) << watch.Requests();
  }
  {
    RequestWatch watch;
    rig_.prompts().exposureAnswers = {0};
    viewer().Command(kExposure);
    EXPECT_NE(watch.Requests().find("180=42"), std::string::npos) << watch.Requests();
    EXPECT_EQ(watch.Requests().find("S09=02E4"), std::string::npos) << watch.Requests();
  }
  {
    RequestWatch watch;
    rig_.prompts().exposureAnswers = {-1};
    viewer().Command(kExposure);
    EXPECT_EQ(watch.Requests().find("180"), std::string::npos) << watch.Requests();
  }
  EXPECT_EQ(rig_.prompts().exposureQuestions, 3);
  EXPECT_TRUE(rig_.prompts().messages.empty());
}

TEST_F(RunningViewer, SnapshotsWithinOneSecondAreTwoFiles) {
  viewer().Command(kSnapshot);
  viewer().Command(kSnapshot);
  // Named by the date and time; one taken within the same second gets "-2".
  const QStringList files = QDir(QString::fromStdString(rig_.folder())).entryList(QDir::Files, QDir::Name);
  ASSERT_EQ(files.size(), 2);
  const QString first = files[0].size() < files[1].size() ? files[0] : files[1];
  const QString second = files[0].size() < files[1].size() ? files[1] : files[0];
  EXPECT_TRUE(QRegularExpression("^\\d{14}\\.jpg$").match(first).hasMatch()) << first.toStdString();
  if (first.left(14) == second.left(14)) {
    EXPECT_EQ(second, first.left(14) + "-2.jpg");
  }

  for (const QString& file : files) {
    // Decoded by libjpeg-turbo: the camera's picture with its white first bar.
    const std::optional<DecodedJpeg> picture = DecodeJpeg(ReadFileBytes(rig_.folder() + file.toStdString()));
    ASSERT_TRUE(picture) << file.toStdString();
    EXPECT_EQ(picture->width, 320);
    EXPECT_EQ(picture->height, 240);
    const uint8_t* barPixel = &picture->rgb[(70 * 320 + 20) * 3];
    for (int channel = 0; channel < 3; ++channel) EXPECT_NEAR(barPixel[channel], 191, 24) << channel;
  }
  EXPECT_TRUE(rig_.WaitForFramesShown(2));  // snapshots leave the frames to the worker
}

TEST_F(RunningViewer, FullScreenCoversTheScreenUntilALeftClick) {
  ViewerWindow* window = viewer().window();
  const PreviewRect before = CurrentPreviewRect(rig_.state());
  viewer().Command(kFullScreen);
  EXPECT_TRUE(rig_.state().fullScreen);
  EXPECT_FALSE(window->commandBar()->isVisible());
  EXPECT_EQ(CurrentPreviewRect(rig_.state()), (PreviewRect{0, 0, rig_.state().screenWidth, rig_.state().screenHeight}));
  EXPECT_TRUE(rig_.WaitForFramesShown(2));

  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(rig_.state().fullScreen);
  EXPECT_TRUE(window->commandBar()->isVisible());
  EXPECT_EQ(CurrentPreviewRect(rig_.state()), before);
}

TEST_F(IdleViewer, CaptureFileGetsOneAviAndTooLongNamesAreRefused) {
  const std::string folder = rig_.folder();
  rig_.prompts().captureFileAnswers = {QString::fromStdString(folder + "clip"),
                                       QString::fromStdString(folder + "clip.avi"), QString(300, QLatin1Char('x')),
                                       QString()};
  viewer().Command(kSetCaptureFile);
  EXPECT_EQ(rig_.state().recording.captureFilePath(), folder + "clip.avi");
  viewer().Command(kSetCaptureFile);
  EXPECT_EQ(rig_.state().recording.captureFilePath(), folder + "clip.avi");
  EXPECT_TRUE(rig_.prompts().messages.empty());

  viewer().Command(kSetCaptureFile);  // too long
  ASSERT_EQ(rig_.prompts().messages.size(), 1u);
  EXPECT_EQ(rig_.prompts().messages[0].icon, QMessageBox::Warning);
  EXPECT_TRUE(rig_.prompts().messages[0].text.contains("too long"));
  EXPECT_EQ(rig_.state().recording.captureFilePath(), folder + "clip.avi");

  viewer().Command(kSetCaptureFile);  // cancelled
  EXPECT_EQ(rig_.state().recording.captureFilePath(), folder + "clip.avi");
  EXPECT_EQ(rig_.prompts().captureFileQuestions, 4);
}

}  // namespace
