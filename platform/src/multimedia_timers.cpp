#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include "platform/mmsystem.h"
#include "platform/winbase.h"

// One thread runs every timer. Period n of a periodic timer is due at start + n*delay,
// so late routines never shift the schedule: a late period fires at once and the
// timer catches up. Only a timer more than a second behind (a stopped process) drops
// the periods it missed, in whole periods, so that it does not fire in a long burst.

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kLongestCatchUp = std::chrono::seconds(1);

struct Timer {
  UINT delay;
  bool periodic;
  LPTIMECALLBACK routine;
  DWORD_PTR user;
  bool setsEvent;
  Clock::time_point start;
  uint64_t period = 1;  // the period that fires next
  Clock::time_point Due() const { return start + std::chrono::milliseconds(delay) * period; }
};

class TimerService {
 public:
  MMRESULT Add(Timer timer) {
    std::lock_guard lock(mutex_);
    if (!threadStarted_) {
      std::thread([this] { Run(); }).detach();
      threadStarted_ = true;
    }
    do {
      ++lastId_;
    } while (lastId_ == 0 || timers_.count(lastId_) != 0);
    timers_.emplace(lastId_, timer);
    changed_.notify_all();
    return lastId_;
  }

  // A one-shot timer whose routine is running can still be killed: the call waits for
  // the routine like for a periodic one.
  MMRESULT Kill(UINT id) {
    if (id == 0) return TIMERR_NOCANDO;  // never a timer; running_ is 0 when idle
    std::unique_lock lock(mutex_);
    const bool pending = timers_.erase(id) != 0;
    if (!pending && running_ != id) return TIMERR_NOCANDO;
    changed_.notify_all();
    // A routine that kills its own timer must not wait for itself.
    if (std::this_thread::get_id() != timerThread_) {
      changed_.wait(lock, [&] { return running_ != id; });
    }
    return TIMERR_NOERROR;
  }

 private:
  [[noreturn]] void Run() {
    std::unique_lock lock(mutex_);
    timerThread_ = std::this_thread::get_id();
    for (;;) {
      auto next = EarliestTimer();
      if (next == timers_.end()) {
        changed_.wait(lock);
        continue;
      }
      if (Clock::now() < next->second.Due()) {
        changed_.wait_until(lock, next->second.Due());
        continue;  // a timer may have been added or killed meanwhile
      }
      const UINT id = next->first;
      const Timer timer = next->second;
      if (timer.periodic) {
        Advance(next->second);
      } else {
        timers_.erase(next);
      }
      running_ = id;
      lock.unlock();
      Fire(id, timer);
      lock.lock();
      running_ = 0;
      changed_.notify_all();
    }
  }

  std::map<UINT, Timer>::iterator EarliestTimer() {
    auto earliest = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (earliest == timers_.end() || it->second.Due() < earliest->second.Due()) earliest = it;
    }
    return earliest;
  }

  static void Advance(Timer& timer) {
    ++timer.period;
    const auto behind = Clock::now() - timer.Due();
    if (behind > kLongestCatchUp) {
      timer.period += static_cast<uint64_t>(behind / std::chrono::milliseconds(timer.delay));
    }
  }

  static void Fire(UINT id, const Timer& timer) {
    if (timer.setsEvent) {
      SetEvent(reinterpret_cast<HANDLE>(timer.routine));
    } else {
      timer.routine(id, 0, timer.user, 0, 0);
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<UINT, Timer> timers_;
  UINT lastId_ = 0;
  UINT running_ = 0;  // the timer whose routine runs now
  bool threadStarted_ = false;
  std::thread::id timerThread_;
};

// Never destroyed: the timer thread outlives static destruction.
TimerService& Service() {
  static auto* service = new TimerService;
  return *service;
}

}  // namespace

MMRESULT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK routine, DWORD_PTR user, UINT flags) {
  constexpr UINT kKnownFlags = TIME_PERIODIC | TIME_CALLBACK_EVENT_SET | TIME_CALLBACK_EVENT_PULSE;
  const UINT kind = flags & (TIME_CALLBACK_EVENT_SET | TIME_CALLBACK_EVENT_PULSE);
  const bool supportedKind = kind == TIME_CALLBACK_FUNCTION || kind == TIME_CALLBACK_EVENT_SET;
  if (delay == 0 || routine == nullptr || !supportedKind || (flags & ~kKnownFlags) != 0) return 0;
  try {
    return Service().Add(
        Timer{delay, (flags & TIME_PERIODIC) != 0, routine, user, kind == TIME_CALLBACK_EVENT_SET, Clock::now()});
  } catch (const std::exception&) {  // no memory or no thread
    return 0;
  }
}

MMRESULT timeKillEvent(UINT timerId) { return Service().Kill(timerId); }
