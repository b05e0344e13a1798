// orbelo as a user starts it: a signal ends it even while its start-up message is up.
#include <gtest/gtest.h>

#include <csignal>

#include "testing/child_process.h"

TEST(OrbeloProcess, WithoutACameraTheFirstSigtermEndsIt) {
  ChildProcess orbelo(VELMAR_ORBELO_PATH, {}, {"VELMAR_DEVICES=", "QT_QPA_PLATFORM=offscreen"});
  ASSERT_TRUE(orbelo.Started());
  // The "Init camera error 0." box is up by now; the dialog comes when it closes.
  EXPECT_FALSE(orbelo.WaitForExit(milliseconds(1500)).has_value()) << orbelo.Output();
  orbelo.SendSignal(SIGTERM);
  EXPECT_EQ(orbelo.WaitForExit(milliseconds(10000)), 0) << orbelo.Output();
}
