// Frame delivery and the control interface: the read call and the device-control call
// of the device manager.

#include "delivery/frame_delivery.h"
#include "entry/entry_guard.h"
#include "entry/io_control.h"
#include "velmar/velmar.h"

extern "C" DWORD VLM_Read(DWORD_PTR open, LPVOID buffer, DWORD count) {
  return GuardEntry<DWORD>(0, [&] { return ReadFrame(DeviceFromHandle(open), buffer, count); });
}

extern "C" BOOL VLM_IOControl(DWORD_PTR open, DWORD code, PBYTE inBuffer, DWORD inSize, PBYTE outBuffer, DWORD outSize,
                              PDWORD bytesReturned) {
  return GuardEntry(FALSE,
                    [&] { return DispatchControl(open, code, inBuffer, inSize, outBuffer, outSize, bytesReturned); });
}
