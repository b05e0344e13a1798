// One wrapper per driver request. Several requests carry their value in the length
// arguments of DeviceIoControl with null buffers; the driver reads them from there.
#include <algorithm>
#include <climits>

#include "camclient/camclient.h"
#include "handle_table.h"
#include "platform/winbase.h"
#include "velmar/vlm_ioctl.h"

namespace {

int ByteCount(DWORD bytes) { return static_cast<int>(std::min<DWORD>(bytes, INT_MAX)); }

// DeviceIoControl on an open camera: kCameraNotOpen without a call, kCameraCallFailed when the
// driver refuses, otherwise 0.
int Control(int index, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) {
  HANDLE handle = CameraHandle(index);
  if (handle == INVALID_HANDLE_VALUE) return kCameraNotOpen;
  return DeviceIoControl(handle, code, in, inSize, out, outSize, returned, nullptr) ? kCameraOk : kCameraCallFailed;
}

// A request that hands back data: its byte count, or the error result.
int ControlForBytes(int index, DWORD code, void* out, DWORD outSize) {
  DWORD returned = 0;
  const int result = Control(index, code, nullptr, 0, out, outSize, &returned);
  return result < 0 ? result : ByteCount(returned);
}

}  // namespace

int GetDriverVersion(int index, void* buffer, DWORD bufferSize) {
  return ControlForBytes(index, IOCTL_VLM_GET_VERSION, buffer, bufferSize);
}

int SetVideoFormat(int index, DWORD formatCode, DWORD sizeIndex) {
  return Control(index, IOCTL_VLM_SET_FORMAT, nullptr, formatCode, nullptr, sizeIndex, nullptr);
}

int SetLightMode(int index, DWORD lightMode) {
  return Control(index, IOCTL_VLM_SET_MODE, nullptr, lightMode, nullptr, 0, nullptr);
}

int SetBandwidth(int index, DWORD level) {
  return Control(index, IOCTL_VLM_SET_BANDWIDTH, nullptr, level, nullptr, 0, nullptr);
}

int ReadFrame(int index, void* buffer, DWORD bufferSize) {
  HANDLE handle = CameraHandle(index);
  if (handle == INVALID_HANDLE_VALUE) return kCameraNotOpen;
  DWORD read = 0;
  return ReadFile(handle, buffer, bufferSize, &read, nullptr) ? ByteCount(read) : kCameraCallFailed;
}

int GetJpegFrame(int index, void* buffer, DWORD bufferSize) {
  return ControlForBytes(index, IOCTL_VLM_GET_JPEG, buffer, bufferSize);
}

int GetFrameAndJpeg(int index, void* image, DWORD imageSize, void* jpeg, DWORD jpegSize, DWORD byteCounts[2]) {
  return Control(index, IOCTL_VLM_GET_FRAME, image, imageSize, jpeg, jpegSize, byteCounts);
}

int StartCapture(int index) { return Control(index, IOCTL_VLM_START_CAPTURE, nullptr, 0, nullptr, 0, nullptr); }

int StopCapture(int index) { return Control(index, IOCTL_VLM_STOP_CAPTURE, nullptr, 0, nullptr, 0, nullptr); }

int SetExposure(int index, DWORD automatic, DWORD manualLevel) {
  const int result = Control(index, IOCTL_VLM_SET_EXPOSURE, nullptr, automatic, nullptr, manualLevel, nullptr);
  return result == kCameraOk ? kCameraOk : kExposureFailed;
}
