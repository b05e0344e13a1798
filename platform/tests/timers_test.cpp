// Multimedia timers: drift-free periods, event setting, and what timeKillEvent promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

#include "platform/windows.h"

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

// Records when each of the first 100 periods fired; each routine takes 2 ms.
struct PeriodLog {
  static constexpr int kTicks = 100;
  Clock::time_point fired[kTicks];
  std::atomic<int> ticks{0};
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~PeriodLog() { CloseHandle(done); }
};

void RecordPeriod(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* log = reinterpret_cast<PeriodLog*>(user);
  const int tick = log->ticks;
  if (tick >= PeriodLog::kTicks) return;
  log->fired[tick] = Clock::now();
  log->ticks = tick + 1;
  if (tick + 1 == PeriodLog::kTicks) SetEvent(log->done);
  Sleep(2);
}

TEST(MultimediaTimers, PeriodicTimerKeepsItsPeriodOverAHundredTicks) {
  PeriodLog log;
  const auto start = Clock::now();
  const MMRESULT timer = timeSetEvent(10, 0, RecordPeriod, reinterpret_cast<DWORD_PTR>(&log), TIME_PERIODIC);
  ASSERT_NE(timer, 0u);
  ASSERT_EQ(WaitForSingleObject(log.done, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(timeKillEvent(timer), TIMERR_NOERROR);
  // Period n is due at start + n*10 ms: never earlier, and lateness does not pile up.
  // A timer that re-armed after each routine would be 2 ms later every period (180 ms
  // by the last ticks); the least lateness of the last ten ticks is immune to the odd
  // scheduling delay of a busy machine.
  auto lateness = [&](int tick) {
    const auto due = start + std::chrono::milliseconds(10) * (tick + 1);
    return std::chrono::duration_cast<std::chrono::milliseconds>(log.fired[tick] - due).count();
  };
  auto leastRecentLateness = lateness(PeriodLog::kTicks - 1);
  for (int tick = 0; tick < PeriodLog::kTicks; ++tick) {
    EXPECT_GE(lateness(tick), 0) << "tick " << tick << " fired early";
    if (tick >= PeriodLog::kTicks - 10) leastRecentLateness = std::min(leastRecentLateness, lateness(tick));
  }
  EXPECT_LT(leastRecentLateness, 100);
}

TEST(MultimediaTimers, EventTimerSetsTheEventEveryPeriod) {
  HANDLE tick = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const auto start = Clock::now();
  const MMRESULT timer =
      timeSetEvent(10, 0, reinterpret_cast<LPTIMECALLBACK>(tick), 0, TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
  ASSERT_NE(timer, 0u);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(WaitForSingleObject(tick, 1000), WAIT_OBJECT_0) << "tick " << i;
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_EQ(timeKillEvent(timer), TIMERR_NOERROR);
  CloseHandle(tick);
}

TEST(MultimediaTimers, OneShotRoutineRunsOnceWithItsUserValue) {
  TickLog log;
  const MMRESULT timer = timeSetEvent(5, 0, CountTick, reinterpret_cast<DWORD_PTR>(&log), TIME_ONESHOT);
  ASSERT_NE(timer, 0u);
  while (log.ticks == 0) Sleep(1);
  timeKillEvent(timer);  // returns once the routine has finished
  EXPECT_FALSE(log.inRoutine);
  Sleep(50);
  EXPECT_EQ(log.ticks.load(), 1);
  EXPECT_EQ(timeKillEvent(timer), TIMERR_NOCANDO);
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
  timeKillEvent(state.id);  // waits if the routine is still finishing
  EXPECT_EQ(state.calls.load(), 1);
  EXPECT_EQ(state.killResult.load(), TIMERR_NOERROR);
}

TEST(MultimediaTimers, EventTimerOnAClosedEventDoesNoHarm) {
  HANDLE tick = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const MMRESULT timer =
      timeSetEvent(1, 0, reinterpret_cast<LPTIMECALLBACK>(tick), 0, TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
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
