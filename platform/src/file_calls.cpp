#include "device_manager.h"
#include "files.h"
#include "platform/cestring.h"
#include "platform/winbase.h"
#include "stream_object.h"

using namespace platform_internal;

// The file calls dispatch on the kind of handle: a file or an open stream device.

HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD,
                   HANDLE) {
  if (fileName == nullptr || *fileName == u'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (IsStreamDeviceName(fileName)) return OpenStreamDevice(fileName, access, shareMode);
  return OpenFileHandle(MapPlatformPath(fileName), access, creation);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
  if (overlapped != nullptr) {  // no asynchronous input here
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  auto stream = LookupObject<StreamObject>(file);
  return stream ? stream->Read(buffer, bytesToRead, bytesRead) : FALSE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
  if (overlapped != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  auto stream = LookupObject<StreamObject>(file);
  return stream ? stream->Write(buffer, bytesToWrite, bytesWritten) : FALSE;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer, DWORD outSize,
                     LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
  if (overlapped != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  auto stream = LookupObject<StreamObject>(device);
  return stream ? stream->IoControl(code, inBuffer, inSize, outBuffer, outSize, bytesReturned) : FALSE;
}

BOOL CloseHandle(HANDLE handle) {
  auto object = TakeHandle(handle, [](const KernelObject& candidate) { return candidate.ClosedByCloseHandle(); });
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return object->OnClose();
}
