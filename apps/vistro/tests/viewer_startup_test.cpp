// Start-up as the user meets it: the three start-up messages, the menu in its initial
// state with Start posted, and the options that change the starting point.
#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>

#include "platform/winbase.h"
#include "viewer_rig.h"
#include "vistro/viewer_ids.h"
#include "vistro/viewer_menu.h"
#include "vistro/viewer_window.h"
#include "vistro_test_environment.h"

using namespace viewer_ids;

namespace {

void ExpectStartUpMessage(ViewerRig& rig, const char* text) {
  ASSERT_EQ(rig.prompts().messages.size(), 1u);
  const ShownMessage& message = rig.prompts().messages[0];
  EXPECT_FALSE(message.owned);
  EXPECT_EQ(message.caption, "Vistro");
  EXPECT_EQ(message.text, text);
  EXPECT_EQ(message.icon, QMessageBox::Information);
  EXPECT_EQ(rig.viewer().window(), nullptr);
}

TEST(ViewerStartUp, NoCameraIsToldAndEndsTheProgram) {
  ViewerRig rig;
  UnplugTestCamera();
  EXPECT_FALSE(rig.viewer().StartUp());
  ExpectStartUpMessage(rig, "No camera.");
}

TEST(ViewerStartUp, CameraOpenElsewhereFailsToOpen) {
  ViewerRig rig;
  // The driver allows one open handle at a time.
  HANDLE other =
      CreateFileW(u"VLM1:", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(rig.viewer().StartUp());
  CloseHandle(other);
  ExpectStartUpMessage(rig, "Failed to open camera.");
}

TEST(ViewerStartUp, DisplayDepthWithoutPixelFormatFailsToSetTheFormat) {
  ViewerOptions options;
  options.depth = 8;
  ViewerRig rig(options);
  EXPECT_FALSE(rig.viewer().StartUp());
  ExpectStartUpMessage(rig, "Set Video Format Failed!");
}

TEST(ViewerStartUp, WindowCoversTheScreenWithTheMenuIdleUntilThePostedStartRuns) {
  ViewerRig rig;
  ASSERT_TRUE(rig.viewer().StartUp());
  EXPECT_TRUE(rig.prompts().messages.empty());
  ViewerWindow* window = rig.viewer().window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "Vistro");
  EXPECT_EQ(window->geometry(), QGuiApplication::primaryScreen()->geometry());
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->commandBar()->isVisible());
  EXPECT_TRUE(window->presenceTimerActive());

  // Start is posted, not run: the menu shows its initial state.
  const ViewerMenu& menu = *rig.viewer().menu();
  EXPECT_FALSE(rig.state().running);
  for (const int id : {kSetCaptureFile, kExit, kSize640x480, kSize320x240, kModeOutdoor, kMode50Hz, kBandwidthAuto,
                       kBandwidthAuto + 1, kBandwidthLevel7, kExposure, kStart, kAbout}) {
    EXPECT_TRUE(menu.IsEnabled(id)) << id;
  }
  for (const int id : {kStop, kSnapshot, kFullScreen}) EXPECT_FALSE(menu.IsEnabled(id)) << id;
  for (const int id : {kSize320x240, kModeOutdoor, kBandwidthAuto}) EXPECT_TRUE(menu.IsChecked(id)) << id;
  for (const int id : {kSize640x480, kMode50Hz, kBandwidthAuto + 1, kBandwidthLevel7}) {
    EXPECT_FALSE(menu.IsChecked(id)) << id;
  }

  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.state().running.load(); }, 5000));
  EXPECT_TRUE(rig.WaitForFramesShown(3));
  for (const int id : {kStart, kSetCaptureFile, kSize320x240, kSize640x480, kModeOutdoor, kMode50Hz, kBandwidthAuto,
                       kBandwidthLevel7}) {
    EXPECT_FALSE(menu.IsEnabled(id)) << id;
  }
  for (const int id : {kStop, kSnapshot, kFullScreen, kExposure, kExit, kAbout}) EXPECT_TRUE(menu.IsEnabled(id)) << id;
}

TEST(ViewerStartUp, MenuHasTheResourceCaptionsInTheirPopups) {
  ViewerRig rig;
  ASSERT_TRUE(rig.viewer().StartUp());
  const QList<QAction*> popups = rig.viewer().window()->commandBar()->actions();
  ASSERT_EQ(popups.size(), 3);
  EXPECT_EQ(popups[0]->text(), "&File");
  EXPECT_EQ(popups[1]->text(), "&Options");
  EXPECT_EQ(popups[2]->text(), "&Help");

  const auto itemsOf = [](QAction* popup) {
    QStringList items;
    for (QAction* item : popup->menu()->actions()) {
      items << (item->isSeparator() ? QStringLiteral("-") : item->text()) +
                   (item->data().isValid() ? QStringLiteral("=%1").arg(item->data().toInt()) : QString());
    }
    return items;
  };
  EXPECT_EQ(itemsOf(popups[0]), QStringList({"Set &Capture File...=40001", "-", "E&xit=40002"}));
  EXPECT_EQ(itemsOf(popups[2]), QStringList({"&About...=40009"}));
  const QList<QAction*> options = popups[1]->menu()->actions();
  EXPECT_EQ(itemsOf(popups[1]), QStringList({"Si&ze", "Mode", "Bandwidth", "Exposure=40038", "&Start=40012",
                                             "S&top=40021", "S&napshot=40015", "&FullScreen=40011"}));
  EXPECT_EQ(itemsOf(options[0]), QStringList({"640x480=40017", "320x240=40016"}));
  EXPECT_EQ(itemsOf(options[1]), QStringList({"Outdoor=40027", "50Hz=40028"}));
  EXPECT_EQ(itemsOf(options[2]), QStringList({"Auto=40030", "Level 1=40031", "Level 2=40032", "Level 3=40033",
                                              "Level 4=40034", "Level 5=40035", "Level 6=40036", "Level 7=40037"}));
}

TEST(ViewerStartUp, OptionsSetTheStartingSizeFullScreenAndCaptureFile) {
  ViewerOptions options;
  options.large = true;
  options.fullScreen = true;
  const TestFolder folder;
  options.recordFile = folder.path() + "take";
  ViewerRig rig(options);
  {
    ASSERT_TRUE(rig.StartAndRun());
    EXPECT_EQ(rig.state().imageWidth, 640u);
    EXPECT_EQ(rig.state().imageHeight, 480u);
    EXPECT_TRUE(rig.viewer().menu()->IsChecked(kSize640x480));
    EXPECT_FALSE(rig.viewer().menu()->IsChecked(kSize320x240));
    EXPECT_TRUE(rig.state().fullScreen);
    EXPECT_FALSE(rig.viewer().window()->commandBar()->isVisible());
    EXPECT_TRUE(rig.state().recording.recordingEnabled());
    EXPECT_EQ(rig.state().recording.captureFilePath(), folder.path() + "take.avi");
    EXPECT_TRUE(rig.WaitForFramesRecorded(2));
  }
  EXPECT_EQ(CurrentPreviewRect(rig.state()), (PreviewRect{0, 0, rig.state().screenWidth, rig.state().screenHeight}));
}

}  // namespace
