// The frame pacer wakes its loop once per period.
#include <gtest/gtest.h>

#include <chrono>

#include "appcommon/frame_pacer.h"

TEST(FramePacer, WakesOncePerPeriod) {
  FramePacer pacer(20);
  ASSERT_TRUE(pacer.Ready());
  const auto start = std::chrono::steady_clock::now();
  for (int period = 0; period < 10; ++period) pacer.WaitForPeriod();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // Ten periods of 20 ms: loose bounds, the machine may be busy.
  EXPECT_GE(elapsed, std::chrono::milliseconds(180));
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST(FramePacer, ZeroPeriodIsNotReadyAndDoesNotBlock) {
  FramePacer pacer(0);
  EXPECT_FALSE(pacer.Ready());
  pacer.WaitForPeriod();
}
