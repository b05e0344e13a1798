// Events, waits, critical sections, last error and the handle table.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/windows.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Starts `count` threads that each wait once on `event` (with `timeout`) and count
// their WAIT_OBJECT_0 results in `woken`.
std::vector<std::thread> StartWaiters(HANDLE event, int count, DWORD timeout, std::atomic<int>& woken,
                                      std::atomic<int>& waiting) {
  std::vector<std::thread> waiters;
  for (int i = 0; i < count; ++i) {
    waiters.emplace_back([&, event, timeout] {
      ++waiting;
      if (WaitForSingleObject(event, timeout) == WAIT_OBJECT_0) ++woken;
    });
  }
  while (waiting < count) std::this_thread::yield();
  return waiters;
}

TEST(Events, AutoResetEventWakesExactlyOneWaiterPerSet) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  std::atomic<int> woken{0};
  std::atomic<int> waiting{0};
  auto waiters = StartWaiters(event, 3, 1500, woken, waiting);
  Sleep(50);  // let all three block
  ASSERT_TRUE(SetEvent(event));
  Sleep(300);
  EXPECT_EQ(woken.load(), 1);
  ASSERT_TRUE(SetEvent(event));
  ASSERT_TRUE(SetEvent(event));  // both signals go to the two remaining waiters
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(woken.load(), 3);
  // All signals were handed over: the event is not left signalled.
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, AutoResetEventStaysSignalledUntilOneWaitConsumesIt) {
  HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  SetEvent(event);
  SetEvent(event);  // setting a signalled event does not count twice
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(Events, ManualResetEventReleasesEveryWaiterEvenIfResetAtOnce) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> woken{0};
  std::atomic<int> waiting{0};
  auto waiters = StartWaiters(event, 4, 2000, woken, waiting);
  Sleep(50);
  SetEvent(event);
  ResetEvent(event);
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(woken.load(), 4);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  SetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);  // stays signalled
  CloseHandle(event);
}

TEST(Waits, TimeOutReturnsWaitTimeoutWithinAReasonableMargin) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const auto start = Clock::now();
  EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_TIMEOUT);
  const auto elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 100);
  EXPECT_LT(elapsed, 1000);
  CloseHandle(event);
}

TEST(Waits, InfiniteWaitEndsWhenAnotherThreadSets) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  std::thread setter([event] {
    Sleep(30);
    SetEvent(event);
  });
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  setter.join();
  CloseHandle(event);
}

TEST(Waits, BadHandlesFailWithInvalidHandle) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  for (HANDLE bad : {event, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE,
                     reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x12345))}) {
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(SetEvent(bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ResetEvent(bad));
    EXPECT_FALSE(CloseHandle(bad));
  }
}

TEST(Handles, ClosedHandleIsNeverReusedForANewObject) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(first);
  HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_NE(first, second);
  EXPECT_FALSE(SetEvent(first));  // a stale handle cannot reach the new event
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
  CloseHandle(second);
}

TEST(Handles, KindsAreNotInterchangeable) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\PlatformTests\\Kinds", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SetLastError(0);
  EXPECT_FALSE(SetEvent(key));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(key));  // keys close with RegCloseKey
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(RegCloseKey(static_cast<HKEY>(event)), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_TRUE(CloseHandle(event));
}

TEST(Handles, WaitKeepsWorkingWhileAnotherThreadClosesTheHandle) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<DWORD> result{WAIT_FAILED};
  std::thread waiter([&] { result = WaitForSingleObject(event, 300); });
  Sleep(50);
  EXPECT_TRUE(CloseHandle(event));
  waiter.join();
  EXPECT_EQ(result.load(), WAIT_TIMEOUT);  // the object outlived its handle safely
}

TEST(Events, NamedEventsAreRefused) {
  EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, u"shared"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST(CriticalSections, OwnerMayEnterTwiceAndOthersWaitUntilFullyLeft) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));  // recursive for its owner
  std::atomic<bool> otherGotIn{false};
  auto tryFromOtherThread = [&] {
    std::thread([&] {
      if (TryEnterCriticalSection(&section)) {
        otherGotIn = true;
        LeaveCriticalSection(&section);
      }
    }).join();
  };
  tryFromOtherThread();
  EXPECT_FALSE(otherGotIn);
  LeaveCriticalSection(&section);
  tryFromOtherThread();
  EXPECT_FALSE(otherGotIn);  // still held once
  LeaveCriticalSection(&section);
  tryFromOtherThread();
  EXPECT_TRUE(otherGotIn);
  DeleteCriticalSection(&section);
}

TEST(CriticalSections, NullOrDeletedSectionIsRefusedWithoutCrashing) {
  SetLastError(0);
  EnterCriticalSection(nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  DeleteCriticalSection(&section);
  EXPECT_FALSE(TryEnterCriticalSection(&section));
  LeaveCriticalSection(&section);
  DeleteCriticalSection(&section);
}

TEST(LastError, IsKeptPerThread) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  DWORD seenByOther = 1;
  std::thread([&] {
    seenByOther = GetLastError();
    SetLastError(ERROR_ACCESS_DENIED);
  }).join();
  EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
