// Multimedia timers: drift-free periods, event setting, and what timeKillEvent promises.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "windows.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TickLog {
  std::atomic<int> ticks{0};
  std::atomic<bool> inRoutine{false};
};

void CountTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* log = reinterpret_cast<TickLog*>(user);
  log->inRoutine = true;
  ++log->ticks;
  Sleep(2);  // a routine that takes a little while
  log->inRoutine = false;
}

TEST(MultimediaTimers, PeriodicEventTimerKeepsItsPeriodOverAHundredTicks) {
  HANDLE tick = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const auto start = Clock::now();
  const MMRESULT timer = timeSetEvent(10, 0, reinterpret_cast<LPTIMECALLBACK>(tick), 0,
                                      TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
  ASSERT_NE(timer, 0u);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(WaitForSingleObject(tick, 1000), WAIT_OBJECT_0) << "tick " << i;
    Sleep(5);  // work between ticks must not push the schedule back
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_EQ(timeKillEvent(timer), TIMERR_NOERROR);
  // 100 periods of 10 ms: a timer that re-armed after each tick (10 ms + the 5 ms of
  // work) would need 1500 ms or more.
  EXPECT_GE(elapsed, 990);
  EXPECT_LT(elapsed, 1400);
  CloseHandle(tick);
}

TEST(MultimediaTimers, OneShotRoutineRunsOnceWithItsUserValue) {
  TickLog log;
  ASSERT_NE(timeSetEvent(5, 0, CountTick, reinterpret_cast<DWORD_PTR>(&log), TIME_ONESHOT), 0u);
  Sleep(100);
  EXPECT_EQ(log.ticks.load(), 1);
}

TEST(MultimediaTimers, AfterKillTheRoutineIsNotRunningAndNeverRunsAgain) {
  TickLog log;
  const MMRESULT timer = timeSetEvent(1, 0, CountTick, reinterpret_cast<DWORD_PTR>(&log), TIME_PERIODIC);
  ASSERT_NE(timer, 0u);
  while (log.ticks < 3) Sleep(1);
  EXPECT_EQ(timeKillEvent(timer), TIMERR_NOERROR);
  EXPECT_FALSE(log.inRoutine);
  const int ticksAtKill = log.ticks;
  Sleep(30);
  EXPECT_EQ(log.ticks.load(), ticksAtKill);
  EXPECT_EQ(timeKillEvent(timer), TIMERR_NOCANDO);  // already gone
}

TEST(MultimediaTimers, RoutineMayKillItsOwnTimer) {
  struct SelfKill {
    std::atomic<UINT> id{0};
    std::atomic<int> calls{0};
    std::atomic<MMRESULT> killResult{TIMERR_NOCANDO};
  } state;
  auto routine = [](UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* self = reinterpret_cast<SelfKill*>(user);
    ++self->calls;
    self->killResult = timeKillEvent(id);
  };
  state.id = timeSetEvent(2, 0, routine, reinterpret_cast<DWORD_PTR>(&state), TIME_PERIODIC);
  ASSERT_NE(state.id.load(), 0u);
  Sleep(60);
  EXPECT_EQ(state.calls.load(), 1);
  EXPECT_EQ(state.killResult.load(), TIMERR_NOERROR);
}

TEST(MultimediaTimers, EventTimerOnAClosedEventDoesNoHarm) {
  HANDLE tick = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const MMRESULT timer = timeSetEvent(1, 0, reinterpret_cast<LPTIMECALLBACK>(tick), 0,
                                      TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
  CloseHandle(tick);  // the server closes its event before killing the timer
  Sleep(10);
  EXPECT_EQ(timeKillEvent(timer), TIMERR_NOERROR);
}

TEST(MultimediaTimers, BadRequestsAreRefused) {
  TickLog log;
  const auto user = reinterpret_cast<DWORD_PTR>(&log);
  EXPECT_EQ(timeSetEvent(0, 0, CountTick, user, TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(10, 0, nullptr, user, TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(10, 0, CountTick, user, TIME_PERIODIC | TIME_CALLBACK_EVENT_PULSE), 0u);
  EXPECT_EQ(timeSetEvent(10, 0, CountTick, user, 0x8000), 0u);
  EXPECT_EQ(timeKillEvent(0), TIMERR_NOCANDO);
  EXPECT_EQ(timeKillEvent(0xFFFFFFF0u), TIMERR_NOCANDO);
}

}  // namespace
