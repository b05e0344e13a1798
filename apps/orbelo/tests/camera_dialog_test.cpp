// The dialog's template, its two states and the rules for ending it, with emulated
// cameras behind the real driver.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>

#include "appcommon/display_format.h"
#include "camclient/camclient.h"
#include "camera_test_environment.h"
#include "orbelo/preview_window.h"
#include "orbelo_rig.h"

namespace {

struct ButtonStates {
  bool start, stop, exit, saveJpg, saveBmp;
  bool operator==(const ButtonStates&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ButtonStates& s) {
  return out << "Start " << s.start << " Stop " << s.stop << " Exit " << s.exit << " SaveJpg " << s.saveJpg
             << " SaveBmp " << s.saveBmp;
}

ButtonStates StatesOf(const CCameraDialog& dialog) {
  return {dialog.startButton()->isEnabled(), dialog.stopButton()->isEnabled(), dialog.exitButton()->isEnabled(),
          dialog.saveJpgButton()->isEnabled(), dialog.saveBmpButton()->isEnabled()};
}

constexpr ButtonStates kIdle{true, false, true, false, false};
constexpr ButtonStates kCapturing{false, true, false, true, true};

TEST(CameraDialog, TemplateHasItsCaptionControlsAndTexts) {
  PluggedCameras cameras({""});
  OrbeloRig rig({});
  CCameraDialog& dialog = rig.dialog();
  EXPECT_EQ(dialog.windowTitle(), "Orbelo");
  // The controls are bound by their template ids.
  const std::pair<int, const char*> buttons[] = {
      {1000, "&Start"}, {1002, "Sto&p"}, {1003, "&Exit"}, {1005, "SaveJpg"}, {1006, "SaveBmp"}};
  for (const auto& [id, text] : buttons) {
    const auto* button = dialog.findChild<QPushButton*>(QString::number(id));
    ASSERT_NE(button, nullptr) << id;
    EXPECT_EQ(button->text(), text);
  }
  EXPECT_EQ(dialog.findChild<QComboBox*>(QStringLiteral("1001")), dialog.cameraList());
  ASSERT_NE(dialog.findChild<QGroupBox*>(), nullptr);
  EXPECT_EQ(dialog.findChild<QGroupBox*>()->title(), "Video");
  ASSERT_NE(dialog.findChild<QLabel*>(), nullptr);
  EXPECT_EQ(dialog.findChild<QLabel*>()->text(), "USB Camera:");
  // Before initialisation only Exit and the list can be used.
  EXPECT_EQ(StatesOf(dialog), (ButtonStates{false, false, true, false, false}));
  EXPECT_TRUE(dialog.cameraList()->isEnabled());

  // The buttons stand in one column, each below the one before it, right of the
  // "Video" group.
  const QPushButton* column[] = {dialog.startButton(), dialog.stopButton(), dialog.exitButton(), dialog.saveJpgButton(),
                                 dialog.saveBmpButton()};
  for (size_t i = 1; i < std::size(column); ++i) {
    EXPECT_EQ(column[i]->x(), column[0]->x());
    EXPECT_GE(column[i]->y(), column[i - 1]->geometry().bottom());
  }
  EXPECT_GT(column[0]->x(), dialog.findChild<QGroupBox*>()->geometry().right());
  EXPECT_TRUE(dialog.rect().contains(dialog.saveBmpButton()->geometry()));
}

TEST(CameraDialog, ListsEveryCameraAndPlacesThePreview) {
  PluggedCameras cameras({"", "", ""});
  OrbeloRig rig({});
  rig.Open();
  CCameraDialog& dialog = rig.dialog();
  ASSERT_EQ(dialog.cameraList()->count(), 3);
  EXPECT_EQ(dialog.cameraList()->itemText(0), "Num 0");
  EXPECT_EQ(dialog.cameraList()->itemText(1), "Num 1");
  EXPECT_EQ(dialog.cameraList()->itemText(2), "Num 2");
  EXPECT_EQ(dialog.cameraList()->currentIndex(), 0);
  EXPECT_EQ(StatesOf(dialog), kIdle);
  EXPECT_TRUE(rig.messages().empty());

  const PreviewWindow* preview = dialog.previewWindow();
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->windowTitle(), "Capture Window");
  EXPECT_EQ(preview->geometry(), QRect(15, 15, 320, 240));
  EXPECT_TRUE(preview->isVisible());
  // The whole frame shows inside the "Video" group, left of the buttons.
  const QRect videoGroup = dialog.findChild<QGroupBox*>()->geometry();
  EXPECT_TRUE(videoGroup.contains(preview->geometry()));
  EXPECT_TRUE(dialog.rect().contains(videoGroup));
  EXPECT_GT(dialog.startButton()->x(), videoGroup.right());
  // The bitmap has the display's depth.
  EXPECT_GT(dialog.screenBits(), 0u);
  const QImage bitmap = preview->CurrentFrame();
  EXPECT_EQ(bitmap.size(), QSize(320, 240));
  EXPECT_EQ(bitmap.format(), ImageFormatForDepth(dialog.screenBits()));
}

TEST(CameraDialog, WithoutACameraSaysSoWithTheCountAndOffersOnlyExit) {
  OrbeloRig rig({});
  rig.Open();
  CCameraDialog& dialog = rig.dialog();
  ASSERT_EQ(rig.messages().size(), 1u);
  EXPECT_EQ(rig.messages()[0], "Init camera error 0.");
  EXPECT_EQ(dialog.cameraList()->count(), 0);
  EXPECT_EQ(dialog.previewWindow(), nullptr);
  EXPECT_EQ(StatesOf(dialog), (ButtonStates{false, false, true, false, false}));
  dialog.exitButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
}

TEST(CameraDialog, StartAndStopSwitchTheButtonsAndTheCamera) {
  PluggedCameras cameras({""});
  OrbeloRig rig({});
  rig.Open();
  CCameraDialog& dialog = rig.dialog();
  rig.StartPreview(0);
  EXPECT_EQ(StatesOf(dialog), kCapturing);
  EXPECT_TRUE(dialog.Capturing());
  ASSERT_TRUE(rig.WaitForPicture());
  EXPECT_TRUE(IsCameraOpen(0));
  EXPECT_GT(cameras[0].alternateSetting(), 0);

  dialog.stopButton()->click();
  EXPECT_EQ(StatesOf(dialog), kIdle);
  EXPECT_FALSE(IsCameraOpen(0)) << "the capture thread has closed the camera when Stop returns";
  const uint32_t framesBefore = cameras[0].framesSent();
  QTest::qWait(200);
  EXPECT_EQ(cameras[0].framesSent(), framesBefore) << "streaming has stopped";

  // A second run on the same dialog works as the first.
  rig.StartPreview(0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return cameras[0].framesSent() > framesBefore + 2; }, 10000));
  dialog.stopButton()->click();
  EXPECT_EQ(StatesOf(dialog), kIdle);
}

TEST(CameraDialog, StartPreviewsTheCameraChosenInTheList) {
  TestFolder pictures;
  PluggedCameras cameras({"", StillCamera(WriteSolidPicture(pictures.path(), 0, 200, 0), 25)});
  OrbeloRig rig({});
  rig.Open();
  rig.StartPreview(1);
  ASSERT_TRUE(rig.WaitForPicture());
  EXPECT_TRUE(IsCameraOpen(1));
  EXPECT_FALSE(IsCameraOpen(0));
  EXPECT_GT(cameras[1].alternateSetting(), 0);
  EXPECT_EQ(cameras[0].alternateSetting(), 0);
  // The picture is the second camera's green, not the first one's test pattern.
  const QImage shown = rig.dialog().previewWindow()->CurrentFrame();
  const QRgb centre = shown.pixel(160, 120);
  EXPECT_GT(qGreen(centre), 150);
  EXPECT_LT(qRed(centre), 60);
  EXPECT_LT(qBlue(centre), 60);
}

TEST(CameraDialog, ACameraThatCannotBeOpenedLeavesTheButtonsCapturingUntilStop) {
  PluggedCameras cameras({""});
  OrbeloRig rig({});
  rig.Open();
  // Still listed, but gone by the time Start opens it.
  cameras.UnplugAll();
  ASSERT_EQ(rig.dialog().cameraList()->count(), 1);
  rig.StartPreview(0);
  QTest::qWait(200);
  EXPECT_EQ(StatesOf(rig.dialog()), kCapturing);
  EXPECT_FALSE(IsCameraOpen(0));
  rig.dialog().stopButton()->click();
  EXPECT_EQ(StatesOf(rig.dialog()), kIdle);
}

TEST(CameraDialog, EscapeNeverClosesAndNeitherDoesCloseOrOkWhileCapturing) {
  PluggedCameras cameras({""});
  OrbeloRig rig({});
  rig.Open();
  CCameraDialog& dialog = rig.dialog();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());

  rig.StartPreview(0);
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_FALSE(dialog.close());
  dialog.accept();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(StatesOf(dialog), kCapturing);
  EXPECT_TRUE(rig.WaitForPicture()) << "the capture goes on";

  dialog.stopButton()->click();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  dialog.setResult(-1);
  EXPECT_TRUE(dialog.close());
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(dialog.previewWindow(), nullptr) << "tidied up";
}

TEST(CameraDialog, OkEndsTheDialogWhenNoCaptureRuns) {
  PluggedCameras cameras({""});
  OrbeloRig rig({});
  rig.Open();
  rig.dialog().accept();
  EXPECT_FALSE(rig.dialog().isVisible());
  EXPECT_EQ(rig.dialog().result(), QDialog::Accepted);
}

TEST(CameraDialog, ExitEndsTheDialogWithResultZero) {
  PluggedCameras cameras({""});
  OrbeloRig rig({});
  rig.Open();
  rig.dialog().setResult(-1);
  rig.dialog().exitButton()->click();
  EXPECT_FALSE(rig.dialog().isVisible());
  EXPECT_EQ(rig.dialog().result(), 0);
}

}  // namespace
