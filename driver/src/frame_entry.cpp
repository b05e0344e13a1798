// Frame delivery and the control interface. Capture is not built yet: no frame is
// ever delivered and no control code is known.

#include "velmar.h"
#include "vlm_device.h"

extern "C" DWORD VLM_Read(DWORD_PTR, LPVOID, DWORD) { return 0; }

extern "C" BOOL VLM_IOControl(DWORD_PTR open, DWORD, PBYTE, DWORD, PBYTE, DWORD, PDWORD) {
  VlmDevice* device = DeviceFromHandle(open);
  if (device == nullptr || !device->open || device->removed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}
