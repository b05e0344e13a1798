// The windowed programs' start-up wrapper: the system is booted while the program runs
// inside its QApplication, and shut down afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "appcommon/booted_application.h"
#include "camclient/camclient.h"
#include "offscreen_application.h"

TEST(BootedApplication, ProgramRunsOnABootedSystemThatIsShutDownAfterwards) {
  OffscreenApplication::SelectOffscreenPlatform();
  setenv("VELMAR_DEVICES", "emu", 1);
  int argc = 1;
  char name[] = "appcommon_tests";
  char* argv[] = {name, nullptr};
  int camerasSeen = -1;
  bool hadApplication = false;
  const int result = RunBootedApplication(argc, argv, QStringLiteral("Test"), [&](QApplication& application) {
    hadApplication = QApplication::instance() == &application;
    camerasSeen = CountCameras();
    return 7;
  });
  EXPECT_EQ(result, 7);
  EXPECT_TRUE(hadApplication);
  EXPECT_EQ(camerasSeen, 1);
  EXPECT_EQ(CountCameras(), 0);
  EXPECT_EQ(QApplication::instance(), nullptr);
}
