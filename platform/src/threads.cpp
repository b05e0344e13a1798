#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <memory>
#include <new>

#include "platform/winbase.h"
#include "waitable.h"

using namespace platform_internal;

namespace {

// Windows CE's normal priority on its 256-level scale.
constexpr int kNormalPriority = 251;

std::atomic<DWORD> lastThreadId{0};
thread_local DWORD currentThreadId = 0;

DWORD NewThreadId() { return lastThreadId.fetch_add(1, std::memory_order_relaxed) + 1; }

// A thread runs detached: its handle may be closed at any time (the thread goes on),
// and the object stays alive for as long as the thread runs or a handle names it.
class Thread final : public Waitable {
 public:
  Thread(LPTHREAD_START_ROUTINE start, LPVOID parameter, bool suspended)
      : id_(NewThreadId()), start_(start), parameter_(parameter), suspendCount_(suspended ? 1 : 0) {}

  DWORD Id() const { return id_; }

  void Run() {
    currentThreadId = id_;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return suspendCount_ == 0; });
    }
    const DWORD exitCode = start_(parameter_);
    {
      std::lock_guard lock(mutex_);
      exitCode_ = exitCode;
      finished_ = true;
    }
    changed_.notify_all();
  }

  DWORD Resume() {
    std::lock_guard lock(mutex_);
    const DWORD previous = suspendCount_;
    if (suspendCount_ > 0 && --suspendCount_ == 0) changed_.notify_all();
    return previous;
  }

  DWORD ExitCode() {
    std::lock_guard lock(mutex_);
    return finished_ ? exitCode_ : STILL_ACTIVE;
  }

  DWORD Wait(DWORD milliseconds) override {
    std::unique_lock lock(mutex_);
    return WaitUntilReady(changed_, lock, milliseconds, [this] { return finished_; }) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  }

  std::atomic<int> priority{kNormalPriority};

 private:
  const DWORD id_;
  const LPTHREAD_START_ROUTINE start_;
  const LPVOID parameter_;
  std::mutex mutex_;
  std::condition_variable changed_;
  DWORD suspendCount_;
  bool finished_ = false;
  DWORD exitCode_ = STILL_ACTIVE;
};

void* ThreadMain(void* argument) {
  std::unique_ptr<std::shared_ptr<Thread>> self(static_cast<std::shared_ptr<Thread>*>(argument));
  (*self)->Run();
  return nullptr;
}

// Starts the OS thread for `thread`; an error code, or 0.
int StartThread(const std::shared_ptr<Thread>& thread, SIZE_T stackSize) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (stackSize >= static_cast<SIZE_T>(PTHREAD_STACK_MIN)) pthread_attr_setstacksize(&attributes, stackSize);
  auto* argument = new (std::nothrow) std::shared_ptr<Thread>(thread);
  int result = ENOMEM;
  if (argument != nullptr) {
    pthread_t osThread;
    result = pthread_create(&osThread, &attributes, ThreadMain, argument);
    if (result != 0) delete argument;
  }
  pthread_attr_destroy(&attributes);
  return result;
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  if (start == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<Thread> thread;
  try {
    thread = std::make_shared<Thread>(start, parameter, (creationFlags & CREATE_SUSPENDED) != 0);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // The handle exists before the thread runs, so a suspended thread can be resumed.
  HANDLE handle = InsertHandle(thread);
  if (handle == nullptr) return nullptr;
  if (StartThread(thread, stackSize) != 0) {
    TakeObject<Thread>(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId != nullptr) *threadId = thread->Id();
  return handle;
}

DWORD ResumeThread(HANDLE handle) {
  auto thread = LookupObject<Thread>(handle);
  return thread ? thread->Resume() : 0xFFFFFFFFu;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  if (exitCode == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto thread = LookupObject<Thread>(handle);
  if (!thread) return FALSE;
  *exitCode = thread->ExitCode();
  return TRUE;
}

BOOL CeSetThreadPriority(HANDLE handle, int priority) {
  if (priority < 0 || priority > 255) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto thread = LookupObject<Thread>(handle);
  if (!thread) return FALSE;
  thread->priority = priority;
  return TRUE;
}

int CeGetThreadPriority(HANDLE handle) {
  auto thread = LookupObject<Thread>(handle);
  return thread ? thread->priority.load() : THREAD_PRIORITY_ERROR_RETURN;
}

DWORD GetCurrentThreadId() {
  if (currentThreadId == 0) currentThreadId = NewThreadId();
  return currentThreadId;
}
