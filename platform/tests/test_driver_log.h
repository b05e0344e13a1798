// What the test stream driver (prefix TST, library "TSTDRV.DLL") saw of the device
// manager, read by the tests through its exported TST_Log.
#pragma once

#include <atomic>
#include <mutex>

#include "platform/windows.h"

struct TestDriverLog {
  // Calls per entry point.
  std::atomic<int> inits{0}, deinits{0}, opens{0}, closes{0}, reads{0}, writes{0}, ioControls{0};
  // Set when PPP_Deinit or PPP_Close ran while another entry point was still running.
  std::atomic<bool> deinitOverlappedACall{false};
  std::atomic<bool> closeOverlappedACall{false};
  std::atomic<int> callsRunning{0};

  // PPP_Init: what it read from its active key.
  uint64_t clientInfo = 0;
  WCHAR activeKey[64] = {};
  WCHAR name[16] = {};

  // Arguments of the latest call of each kind, written under this lock (entry points
  // may run on several threads at once).
  std::mutex argumentsLock;
  DWORD_PTR openDevice = 0;
  DWORD openAccess = 0, openShare = 0;
  DWORD_PTR readContext = 0;
  LPVOID readBuffer = nullptr;
  DWORD readCount = 0;
  DWORD_PTR closedContext = 0;
  DWORD ioCode = 0;
  PBYTE ioIn = nullptr, ioOut = nullptr;
  DWORD ioInSize = 0, ioOutSize = 0;
  PDWORD ioReturned = nullptr;

  // Behaviour switches.
  std::atomic<bool> failInit{false};
  std::atomic<bool> failOpen{false};      // PPP_Open answers 0 with ERROR_ACCESS_DENIED
  std::atomic<HANDLE> readGate{nullptr};  // when set, PPP_Read waits for this event
};

// PPP_Read fills the buffer with this byte; PPP_IOControl reports this many bytes.
constexpr BYTE kTestReadByte = 0x5A;
constexpr DWORD kTestIoBytes = 42;
// A control code that PPP_IOControl refuses with ERROR_NOT_SUPPORTED.
constexpr DWORD kTestRefusedCode = 0xBAD;
// DllMain counts its calls here (the library itself may come and go).
#define TEST_DRIVER_LOADER_KEY u"Software\\PlatformTests\\TestDriver"

using TestDriverLogRoutine = TestDriverLog* (*)();
