// A tiny stream driver for the device manager and loader tests. It records every call
// in its log and keeps per-device and per-open state on the heap, so that a call after
// deinitialisation shows up as a use after free under the address sanitizer.
#include <cstring>

#include "test_driver_log.h"

namespace {

TestDriverLog log;

struct Device {
  uint64_t clientInfo;
};

struct Open {
  Device* device;
};

// Counts running entry points, to catch PPP_Deinit overlapping them.
struct RunningCall {
  RunningCall() { ++log.callsRunning; }
  ~RunningCall() { --log.callsRunning; }
};

void CountInRegistry(LPCWSTR valueName) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEST_DRIVER_LOADER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  DWORD count = 0;
  DWORD size = sizeof count;
  RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(&count), &size);
  ++count;
  RegSetValueExW(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
  RegCloseKey(key);
}

}  // namespace

extern "C" {

TestDriverLog* TST_Log() { return &log; }

BOOL DllMain(HMODULE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
    CountInRegistry(u"Attached");
  } else if (reason == DLL_PROCESS_DETACH) {
    CountInRegistry(u"Detached");
  }
  return TRUE;
}

DWORD_PTR TST_Init(LPCWSTR activeKeyPath) {
  ++log.inits;
  if (log.failInit) {
    SetLastError(ERROR_DEV_NOT_EXIST);
    return 0;
  }
  // Reads its own active key, as a real driver does, while the device manager waits.
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, activeKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD size = sizeof log.clientInfo;
  RegQueryValueExW(key, u"ClientInfo", nullptr, nullptr, reinterpret_cast<LPBYTE>(&log.clientInfo), &size);
  size = sizeof log.name;
  RegQueryValueExW(key, u"Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(log.name), &size);
  RegCloseKey(key);
  std::memcpy(log.activeKey, activeKeyPath, (WideLength(activeKeyPath) + 1) * sizeof(WCHAR));
  return reinterpret_cast<DWORD_PTR>(new Device{log.clientInfo});
}

BOOL TST_Deinit(DWORD_PTR device) {
  ++log.deinits;
  if (log.callsRunning > 0) log.deinitOverlappedACall = true;
  delete reinterpret_cast<Device*>(device);
  return TRUE;
}

DWORD_PTR TST_Open(DWORD_PTR device, DWORD access, DWORD shareMode) {
  RunningCall running;
  ++log.opens;
  {
    std::lock_guard arguments(log.argumentsLock);
    log.openDevice = device;
    log.openAccess = access;
    log.openShare = shareMode;
  }
  if (log.failOpen) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  auto* owner = reinterpret_cast<Device*>(device);
  (void)owner->clientInfo;  // touches the device: freed memory would be reported
  return reinterpret_cast<DWORD_PTR>(new Open{owner});
}

BOOL TST_Close(DWORD_PTR open) {
  if (log.callsRunning > 0) log.closeOverlappedACall = true;
  RunningCall running;
  ++log.closes;
  {
    std::lock_guard arguments(log.argumentsLock);
    log.closedContext = open;
  }
  delete reinterpret_cast<Open*>(open);
  return TRUE;
}

DWORD TST_Read(DWORD_PTR open, LPVOID buffer, DWORD count) {
  RunningCall running;
  ++log.reads;
  {
    std::lock_guard arguments(log.argumentsLock);
    log.readContext = open;
    log.readBuffer = buffer;
    log.readCount = count;
  }
  if (HANDLE gate = log.readGate) WaitForSingleObject(gate, INFINITE);
  if (buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0xFFFFFFFFu;
  }
  (void)reinterpret_cast<Open*>(open)->device->clientInfo;
  std::memset(buffer, kTestReadByte, count);
  return count;
}

DWORD TST_Write(DWORD_PTR, LPCVOID, DWORD) {
  RunningCall running;
  ++log.writes;
  return 0xFFFFFFFFu;  // a read-only device
}

BOOL TST_IOControl(DWORD_PTR open, DWORD code, PBYTE inBuffer, DWORD inSize, PBYTE outBuffer, DWORD outSize,
                   PDWORD bytesReturned) {
  RunningCall running;
  ++log.ioControls;
  (void)reinterpret_cast<Open*>(open)->device->clientInfo;
  {
    std::lock_guard arguments(log.argumentsLock);
    log.ioCode = code;
    log.ioIn = inBuffer;
    log.ioInSize = inSize;
    log.ioOut = outBuffer;
    log.ioOutSize = outSize;
    log.ioReturned = bytesReturned;
  }
  if (code == kTestRefusedCode) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (bytesReturned != nullptr) *bytesReturned = kTestIoBytes;
  return TRUE;
}

}  // extern "C"
