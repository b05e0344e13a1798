// Opening and closing cameras by index. The slots are atomic so that a program's window
// thread and frame thread may share the table without a data race; the library still
// takes no lock, as callers keep to one opener.
#include <array>
#include <atomic>

#include "camclient/camclient.h"
#include "handle_table.h"
#include "platform/cestring.h"
#include "platform/winbase.h"

namespace {

// Every slot starts as not open.
struct HandleTable {
  HandleTable() {
    for (auto& slot : slots) slot.store(INVALID_HANDLE_VALUE);
  }
  std::array<std::atomic<HANDLE>, kCameraSlots> slots;
};

std::array<std::atomic<HANDLE>, kCameraSlots>& Slots() {
  static HandleTable table;
  return table.slots;
}

bool InRange(int index) { return index >= 0 && index < kCameraSlots; }

}  // namespace

HANDLE CameraHandle(int index) {
  return InRange(index) ? Slots()[static_cast<size_t>(index)].load() : INVALID_HANDLE_VALUE;
}

BOOL IsCameraOpen(int index) { return CameraHandle(index) != INVALID_HANDLE_VALUE ? TRUE : FALSE; }

int OpenCamera(int index) {
  if (IsCameraOpen(index)) return kCameraAlreadyOpen;
  if (!InRange(index)) return kCameraNotOpen;

  WCHAR name[16];
  FormatWide(name, 16, u"VLM%d:", index + 1);
  HANDLE handle =
      CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  Slots()[static_cast<size_t>(index)].store(handle);
  return handle == INVALID_HANDLE_VALUE ? kCameraNotOpen : kCameraOk;
}

void CloseCamera(int index) {
  if (!IsCameraOpen(index)) return;
  HANDLE handle = Slots()[static_cast<size_t>(index)].exchange(INVALID_HANDLE_VALUE);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}
