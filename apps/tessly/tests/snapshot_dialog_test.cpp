// The snapshot dialog on emulated cameras behind the real driver: its template, the
// start-up failures and their messages, snapshots, and the one way to close it.
#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest/QTest>

#include "camclient/camclient.h"
#include "camera_test_environment.h"
#include "tessly/snapshot_dialog.h"
#include "test_folder.h"
#include "testing/jpeg_check.h"
#include "velmar/vlm_ioctl.h"

namespace {

const QRegularExpression kDateAndTimeName(QStringLiteral("^[0-9]{14}(-[0-9]+)?\\.jpg$"));

class TesslyRig {
 public:
  explicit TesslyRig(TesslyOptions options = {})
      : dialog_(WithFolder(std::move(options), folder_),
                [this](QWidget*, const QString& text) { messages_.push_back(text); }) {}

  CSnapshotDialog& dialog() { return dialog_; }
  const TestFolder& folder() const { return folder_; }
  const std::vector<QString>& messages() const { return messages_; }
  std::vector<std::string> Snapshots() const { return folder_.Files(".jpg"); }

  // Starts up and shows the dialog; false when start-up failed.
  bool Open() {
    if (!dialog_.OnInitDialog()) return false;
    dialog_.show();
    return true;
  }
  // Presses Action until a snapshot is written (the camera's first frame may not be
  // there yet); true once there are `count` snapshots.
  bool PressUntilSnapshots(size_t count) {
    return QTest::qWaitFor(
        [&] {
          dialog_.actionButton()->click();
          return Snapshots().size() >= count;
        },
        10000);
  }

 private:
  static TesslyOptions WithFolder(TesslyOptions options, const TestFolder& folder) {
    if (options.saveDirectory.empty()) options.saveDirectory = folder.path();
    return options;
  }

  TestFolder folder_;
  std::vector<QString> messages_;
  CSnapshotDialog dialog_;
};

TEST(SnapshotDialog, TemplateHasItsCaptionAndOneActionButton) {
  TesslyRig rig;
  CSnapshotDialog& dialog = rig.dialog();
  EXPECT_EQ(dialog.windowTitle(), "tessly");
  const auto buttons = dialog.findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 1);
  EXPECT_EQ(buttons[0], dialog.actionButton());
  EXPECT_EQ(buttons[0]->objectName(), "1000");
  EXPECT_EQ(buttons[0]->text(), "Action");
  EXPECT_TRUE(buttons[0]->isEnabled());
  EXPECT_TRUE(dialog.rect().contains(buttons[0]->geometry()));
}

TEST(SnapshotDialog, SnapshotsGoToTheProgramFolderByDefault) {
  const CSnapshotDialog dialog({}, [](QWidget*, const QString&) {});
  const std::string folder = dialog.saveDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(QDir(QString::fromStdString(folder)).absolutePath(),
            QDir(QCoreApplication::applicationDirPath()).absolutePath());
}

TEST(SnapshotDialogStartUp, WithoutACameraSaysSoAndEnds) {
  TesslyRig rig;
  EXPECT_EQ(rig.dialog().DoModal(), 0);
  ASSERT_EQ(rig.messages().size(), 1u);
  EXPECT_EQ(rig.messages()[0], "No camera");
}

TEST(SnapshotDialogStartUp, ACameraThatCannotBeOpenedEndsItWithoutAMessage) {
  PluggedCameras cameras({""});
  TesslyOptions options;
  options.camera = 3;  // VLM4: is not there
  TesslyRig rig(options);
  EXPECT_EQ(rig.dialog().DoModal(), 0);
  EXPECT_TRUE(rig.messages().empty());
  EXPECT_FALSE(IsCameraOpen(3));
}

TEST(SnapshotDialogStartUp, ARefusedFormatSaysSoAndEnds) {
  PluggedCameras cameras({""});
  // The driver refuses a format change while the camera streams: let it stream already,
  // through the program's own handle table.
  ASSERT_EQ(OpenCamera(0), 0);
  ASSERT_EQ(SetVideoFormat(0, VLM_FORMAT_RGB24, VLM_SIZE_320X240), 0);
  ASSERT_EQ(StartCapture(0), 0);
  TesslyRig rig;
  EXPECT_EQ(rig.dialog().DoModal(), 0);
  ASSERT_EQ(rig.messages().size(), 1u);
  EXPECT_EQ(rig.messages()[0], "Set format failed.");
  EXPECT_FALSE(IsCameraOpen(0)) << "the camera is not left open";
}

TEST(SnapshotDialogStartUp, ARefusedCaptureSaysSoAndEnds) {
  // A sensor without a start-up table cannot start streaming.
  PluggedCameras cameras({"sensor=10"});
  TesslyRig rig;
  EXPECT_EQ(rig.dialog().DoModal(), 0);
  ASSERT_EQ(rig.messages().size(), 1u);
  EXPECT_EQ(rig.messages()[0], "Start camera failed.");
  EXPECT_FALSE(IsCameraOpen(0)) << "the camera is not left open";
}

TEST(SnapshotDialog, APressSavesTheNewestFrameAsAJpegAt320x240) {
  PluggedCameras cameras({""});
  TesslyRig rig;
  ASSERT_TRUE(rig.Open());
  EXPECT_TRUE(rig.messages().empty());
  EXPECT_TRUE(IsCameraOpen(0));
  ASSERT_TRUE(rig.PressUntilSnapshots(1));
  const std::string name = rig.Snapshots()[0];
  EXPECT_TRUE(kDateAndTimeName.match(QString::fromStdString(name)).hasMatch()) << name;
  const std::optional<DecodedJpeg> picture = DecodeJpeg(ReadFileBytes(rig.folder().path() + name));
  ASSERT_TRUE(picture.has_value()) << "libjpeg-turbo cannot decode " << name;
  EXPECT_EQ(picture->width, 320);
  EXPECT_EQ(picture->height, 240);
}

TEST(SnapshotDialog, APressBeforeANewFrameWritesNothing) {
  // One frame a second: the press right after a saved one finds no new frame.
  PluggedCameras cameras({"fps=1"});
  TesslyRig rig;
  ASSERT_TRUE(rig.Open());
  ASSERT_TRUE(rig.PressUntilSnapshots(1));
  const uint32_t frames = cameras[0].framesSent();
  EXPECT_TRUE(rig.dialog().TakeSnapshot().empty());
  rig.dialog().actionButton()->click();
  EXPECT_EQ(cameras[0].framesSent(), frames) << "a new frame came in between: the test proves nothing";
  EXPECT_EQ(rig.Snapshots().size(), 1u);
}

TEST(SnapshotDialog, TwoPressesWithinASecondKeepBothSnapshots) {
  PluggedCameras cameras({""});
  TesslyRig rig;
  ASSERT_TRUE(rig.Open());
  ASSERT_TRUE(rig.PressUntilSnapshots(1));
  ASSERT_TRUE(rig.PressUntilSnapshots(2));
  const std::vector<std::string> names = rig.Snapshots();
  ASSERT_EQ(names.size(), 2u);
  for (const std::string& name : names) {
    EXPECT_TRUE(DecodeJpeg(ReadFileBytes(rig.folder().path() + name)).has_value()) << name;
  }
}

TEST(SnapshotDialog, OnlyTheCloseButtonEndsItAndStopsTheCamera) {
  PluggedCameras cameras({""});
  TesslyRig rig;
  ASSERT_TRUE(rig.Open());
  CSnapshotDialog& dialog = rig.dialog();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  dialog.accept();
  dialog.reject();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(IsCameraOpen(0));

  dialog.setResult(-1);
  EXPECT_TRUE(dialog.close());
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_FALSE(IsCameraOpen(0));
  const uint32_t frames = cameras[0].framesSent();
  QTest::qWait(200);
  EXPECT_EQ(cameras[0].framesSent(), frames) << "streaming has stopped";
}

TEST(Screenshot, DialogWhileStreaming) {
  PluggedCameras cameras({""});
  TesslyRig rig;
  ASSERT_TRUE(rig.Open());
  ASSERT_TRUE(rig.PressUntilSnapshots(1));
  const QImage shot = rig.dialog().grab().toImage();
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(TESSLY_SCREENSHOT_DIR)));
  const QString path = QStringLiteral(TESSLY_SCREENSHOT_DIR "/tessly-streaming.png");
  ASSERT_TRUE(shot.save(path, "PNG"));
  EXPECT_EQ(QImage(path).size(), rig.dialog().size());
}

}  // namespace
