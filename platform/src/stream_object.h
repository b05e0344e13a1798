// Handles that ReadFile, WriteFile and DeviceIoControl accept: files and open stream
// devices. Each kind answers the calls in its own way.
#pragma once

#include "handle_table.h"

namespace platform_internal {

class StreamObject : public KernelObject {
 public:
  virtual BOOL Read(LPVOID buffer, DWORD count, LPDWORD bytesRead) = 0;
  virtual BOOL Write(LPCVOID buffer, DWORD count, LPDWORD bytesWritten) = 0;
  virtual BOOL IoControl(DWORD code, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer, DWORD outSize,
                         LPDWORD bytesReturned) = 0;
};

}  // namespace platform_internal
