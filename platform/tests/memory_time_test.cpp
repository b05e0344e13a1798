// Local memory, tick count, local time and sleeping.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>

#include "platform/windows.h"

namespace {

TEST(LocalMemory, ZeroInitialisedBlockIsZeroAndFreeReturnsNull) {
  auto* block = static_cast<BYTE*>(LocalAlloc(LPTR, 4096));
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(std::all_of(block, block + 4096, [](BYTE b) { return b == 0; }));
  block[4095] = 1;
  EXPECT_EQ(LocalFree(block), nullptr);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
}

TEST(LocalMemory, FreeingTwiceOrAForeignPointerFailsInsteadOfCorruptingTheHeap) {
  HLOCAL block = LocalAlloc(LMEM_FIXED, 16);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(LocalFree(block), nullptr);
  SetLastError(0);
  EXPECT_EQ(LocalFree(block), block);  // Win32 returns the handle on failure
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  int onStack = 0;
  EXPECT_EQ(LocalFree(&onStack), &onStack);
}

TEST(LocalMemory, ZeroBytesGiveABlockAndUnknownFlagsAreRefused) {
  HLOCAL empty = LocalAlloc(LMEM_FIXED, 0);
  EXPECT_NE(empty, nullptr);
  LocalFree(empty);
  EXPECT_EQ(LocalAlloc(0x0002 /* LMEM_MOVEABLE */, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Time, TickCountAdvancesWithSleep) {
  const DWORD before = GetTickCount();
  Sleep(50);
  const DWORD elapsed = GetTickCount() - before;  // unsigned: correct across the wrap
  EXPECT_GE(elapsed, 50u);
  EXPECT_LT(elapsed, 1000u);
}

TEST(Time, LocalTimeAgreesWithTheCLibrary) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const time_t seconds = time(nullptr);
  tm local{};
  localtime_r(&seconds, &local);
  EXPECT_EQ(now.wYear, local.tm_year + 1900);
  EXPECT_EQ(now.wMonth, local.tm_mon + 1);
  EXPECT_GE(now.wDay, 1);
  EXPECT_LE(now.wDay, 31);
  EXPECT_LE(now.wDayOfWeek, 6);
  EXPECT_LE(now.wHour, 23);
  EXPECT_LE(now.wMilliseconds, 999);
  SetLastError(0);
  GetLocalTime(nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
