// Threads: suspended creation, resume, exit codes, priorities, waits on threads.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/windows.h"

namespace {

DWORD ReturnParameter(LPVOID parameter) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter)); }

struct Gate {
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> started{false};
  ~Gate() { CloseHandle(release); }
};

DWORD WaitAtGate(LPVOID parameter) {
  auto* gate = static_cast<Gate*>(parameter);
  gate->started = true;
  WaitForSingleObject(gate->release, INFINITE);
  return 7;
}

TEST(Threads, ExitCodeIsStillActiveWhileRunningThenTheReturnedValue) {
  Gate gate;
  HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
  SetEvent(gate.release);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
  EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, SuspendedThreadRunsOnlyAfterResume) {
  Gate gate;
  SetEvent(gate.release);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, CREATE_SUSPENDED, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  Sleep(50);
  EXPECT_FALSE(gate.started);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(ResumeThread(thread), 1u);  // the previous suspend count
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(gate.started);
  EXPECT_EQ(ResumeThread(thread), 0u);
  CloseHandle(thread);
}

TEST(Threads, ThreadIdMatchesWhatTheThreadSeesAndDiffersBetweenThreads) {
  std::atomic<DWORD> seen{0};
  DWORD id = 0;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID out) -> DWORD {
        static_cast<std::atomic<DWORD>*>(out)->store(GetCurrentThreadId());
        return 0;
      },
      &seen, 0, &id);
  WaitForSingleObject(thread, 5000);
  EXPECT_EQ(seen.load(), id);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
  CloseHandle(thread);
}

TEST(Threads, ThreadGoesOnAfterItsHandleIsClosed) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID event) -> DWORD {
        Sleep(20);
        SetEvent(static_cast<HANDLE>(event));
        return 0;
      },
      done, 0, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
  CloseHandle(done);
}

TEST(Threads, PriorityOnTheCeScaleIsRecordedAndRangeChecked) {
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, nullptr, CREATE_SUSPENDED, nullptr);
  EXPECT_EQ(CeGetThreadPriority(thread), 251);  // the normal priority
  EXPECT_TRUE(CeSetThreadPriority(thread, 120));
  EXPECT_EQ(CeGetThreadPriority(thread), 120);
  EXPECT_FALSE(CeSetThreadPriority(thread, 256));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(CeSetThreadPriority(thread, -1));
  EXPECT_EQ(CeGetThreadPriority(thread), 120);
  ResumeThread(thread);
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
}

TEST(Threads, BadInputIsRefused) {
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(ResumeThread(event), 0xFFFFFFFFu);
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeThread(event, &code));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(CeGetThreadPriority(event), THREAD_PRIORITY_ERROR_RETURN);
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(uintptr_t{3}), 0, nullptr);
  EXPECT_FALSE(GetExitCodeThread(thread, nullptr));
  WaitForSingleObject(thread, 5000);
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 3u);
  CloseHandle(thread);
  CloseHandle(event);
}

}  // namespace
