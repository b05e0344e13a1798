// Kernel objects that WaitForSingleObject accepts: events and threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "handle_table.h"

namespace platform_internal {

class Waitable : public KernelObject {
 public:
  // WAIT_OBJECT_0 once signalled (consuming the signal where the object does so),
  // WAIT_TIMEOUT after `milliseconds` (INFINITE: never).
  virtual DWORD Wait(DWORD milliseconds) = 0;
};

// Waits on `condition` until `ready()` or the time-out; true when ready.
template <class Ready>
bool WaitUntilReady(std::condition_variable& condition, std::unique_lock<std::mutex>& lock, DWORD milliseconds,
                    Ready ready) {
  if (milliseconds == INFINITE) {
    condition.wait(lock, ready);
    return true;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  return condition.wait_until(lock, deadline, ready);
}

}  // namespace platform_internal
