#include <new>

#include "call_gate.h"
#include "device_manager.h"
#include "device_names.h"
#include "platform/winbase.h"
#include "stream_device.h"
#include "stream_object.h"

namespace platform_internal {

// An open stream device routes the file calls to the driver's entry points. Calls on
// one handle drain before its PPP_Close runs; after deactivation they fail with
// ERROR_INVALID_HANDLE, and the close still reaches PPP_Close exactly once.

namespace {

constexpr DWORD kDriverFailure = 0xFFFFFFFFu;  // PPP_Read / PPP_Write: -1

class StreamHandle final : public StreamObject {
 public:
  explicit StreamHandle(std::shared_ptr<StreamDevice> opened) : device_(std::move(opened)) {}

  void SetOpenContext(DWORD_PTR context) { openContext_ = context; }

  BOOL Read(LPVOID buffer, DWORD count, LPDWORD bytesRead) override {
    return Transfer(device_->entries.read, buffer, count, bytesRead);
  }

  BOOL Write(LPCVOID buffer, DWORD count, LPDWORD bytesWritten) override {
    return Transfer(device_->entries.write, buffer, count, bytesWritten);
  }

  BOOL IoControl(DWORD code, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer, DWORD outSize,
                 LPDWORD bytesReturned) override {
    BOOL result = FALSE;
    Call(device_->entries.ioControl, [&](PFN_DEV_IOCONTROL ioControl) {
      result = ioControl(openContext_, code, static_cast<PBYTE>(inBuffer), inSize, static_cast<PBYTE>(outBuffer),
                         outSize, bytesReturned);
      return result != FALSE;
    });
    return result;
  }

  BOOL OnClose() override {
    calls_.ShutAndDrain();
    const BOOL result = device_->RunClose(
        [this] { return device_->entries.close == nullptr ? TRUE : device_->entries.close(openContext_); });
    device_->HandleClosed();
    return result;
  }

 private:
  // Runs `invoke(entry)` inside both gates. `invoke` returns its success; a failure
  // without a driver error is reported as ERROR_GEN_FAILURE.
  template <class Entry, class Invoke>
  BOOL Call(Entry entry, Invoke invoke) {
    if (entry == nullptr) {
      SetLastError(ERROR_NOT_SUPPORTED);
      return FALSE;
    }
    if (!calls_.Enter()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    bool succeeded = false;
    if (device_->BeginCall()) {
      SetLastError(ERROR_SUCCESS);
      succeeded = invoke(entry);
      if (!succeeded && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_GEN_FAILURE);
      device_->EndCall();
    } else {
      SetLastError(ERROR_INVALID_HANDLE);  // the device is gone
    }
    calls_.Leave();
    return succeeded ? TRUE : FALSE;
  }

  template <class Entry, class Buffer>
  BOOL Transfer(Entry entry, Buffer buffer, DWORD count, LPDWORD bytesDone) {
    if (bytesDone != nullptr) *bytesDone = 0;
    return Call(entry, [&](Entry routine) {
      const DWORD done = routine(openContext_, buffer, count);
      if (done == kDriverFailure) return false;
      if (bytesDone != nullptr) *bytesDone = done;
      return true;
    });
  }

  const std::shared_ptr<StreamDevice> device_;
  DWORD_PTR openContext_ = 0;
  CallGate calls_;
};

bool IsAsciiLetterOrDigit(WCHAR c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool IsStreamDeviceName(LPCWSTR name) {
  for (int i = 0; i < 3; ++i) {
    if (!IsAsciiLetterOrDigit(name[i])) return false;
  }
  return name[3] >= u'0' && name[3] <= u'9' && name[4] == u':' && name[5] == u'\0';
}

HANDLE OpenStreamDevice(LPCWSTR name, DWORD access, DWORD shareMode) {
  auto device = FindDevice(name);
  if (!device) return Fail(ERROR_FILE_NOT_FOUND);
  std::shared_ptr<StreamHandle> handle;
  try {
    handle = std::make_shared<StreamHandle>(device);
  } catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (device->entries.open == nullptr) return Fail(ERROR_NOT_SUPPORTED);
  if (!device->BeginCall()) return Fail(ERROR_FILE_NOT_FOUND);  // deactivated meanwhile
  SetLastError(ERROR_SUCCESS);
  const DWORD_PTR openContext = device->entries.open(device->context, access, shareMode);
  if (openContext != 0) device->HandleOpened();
  device->EndCall();
  if (openContext == 0) return Fail(GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_GEN_FAILURE);
  handle->SetOpenContext(openContext);
  HANDLE result = InsertHandle(handle);
  if (result == nullptr) {
    handle->OnClose();
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  return result;
}

}  // namespace platform_internal
