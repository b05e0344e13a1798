#include <new>

#include "platform/winbase.h"
#include "waitable.h"

using namespace platform_internal;

namespace {

// Setting the event releases the threads waiting at that moment, as on Win32: every
// waiter of a manual-reset event (even if it is reset again at once), exactly one
// waiter of an auto-reset event (the signal is handed over, not left for a race).
class Event final : public Waitable {
 public:
  Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

  void Set() {
    std::lock_guard lock(mutex_);
    if (manualReset_) {
      signalled_ = true;
      ++setCount_;
      changed_.notify_all();
    } else if (waiters_ > handovers_) {
      ++handovers_;
      changed_.notify_one();
    } else {
      signalled_ = true;
    }
  }

  void Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }

  DWORD Wait(DWORD milliseconds) override {
    std::unique_lock lock(mutex_);
    if (signalled_) {
      if (!manualReset_) signalled_ = false;
      return WAIT_OBJECT_0;
    }
    return manualReset_ ? WaitForSet(lock, milliseconds) : WaitForHandover(lock, milliseconds);
  }

 private:
  DWORD WaitForSet(std::unique_lock<std::mutex>& lock, DWORD milliseconds) {
    const uint64_t setCountAtStart = setCount_;
    const bool set = WaitUntilReady(changed_, lock, milliseconds, [&] { return setCount_ != setCountAtStart; });
    return set ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  }

  DWORD WaitForHandover(std::unique_lock<std::mutex>& lock, DWORD milliseconds) {
    ++waiters_;
    const bool handedOver = WaitUntilReady(changed_, lock, milliseconds, [this] { return handovers_ > 0; });
    --waiters_;
    if (!handedOver) return WAIT_TIMEOUT;
    --handovers_;
    return WAIT_OBJECT_0;
  }

  const bool manualReset_;
  bool signalled_;
  uint64_t setCount_ = 0;  // manual reset: bumped by every Set
  int waiters_ = 0;        // auto reset: threads blocked in Wait
  int handovers_ = 0;      // auto reset: signals given to blocked threads, not yet taken
  std::mutex mutex_;
  std::condition_variable changed_;
};

}  // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  if (name != nullptr && *name != u'\0') {
    // Named events would be shared between processes; nothing here needs them.
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  std::shared_ptr<Event> event;
  try {
    event = std::make_shared<Event>(manualReset != FALSE, initialState != FALSE);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return InsertHandle(std::move(event));
}

BOOL SetEvent(HANDLE handle) {
  auto event = LookupObject<Event>(handle);
  if (!event) return FALSE;
  event->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
  auto event = LookupObject<Event>(handle);
  if (!event) return FALSE;
  event->Reset();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto object = LookupObject<Waitable>(handle);
  if (!object) return WAIT_FAILED;
  return object->Wait(milliseconds);
}
