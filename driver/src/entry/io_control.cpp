#include "entry/io_control.h"

#include <cstring>

#include "capture/streaming.h"
#include "delivery/frame_delivery.h"
#include "delivery/output_format.h"
#include "device/version_text.h"
#include "entry/open_device.h"
#include "sensor/aux_bytes.h"
#include "sensor/camera_controls.h"
#include "velmar/vlm_ioctl.h"

namespace {

constexpr DWORD kRegisterRecordBytes = 4;
constexpr DWORD kFormatRecordBytes = sizeof(DWORD);
constexpr DWORD kHighestLightMode = 2;
constexpr DWORD kHighestBandwidthLevel = 7;

struct Request {
  VlmDevice* device;
  PBYTE in;
  DWORD inSize;
  PBYTE out;
  DWORD outSize;
  PDWORD returned;
};

void StoreDword(PBYTE destination, DWORD value) { std::memcpy(destination, &value, sizeof value); }

WORD LoadWord(const BYTE* source) {
  WORD value = 0;
  std::memcpy(&value, source, sizeof value);
  return value;
}

bool Capturing(const VlmDevice* device) { return device->streamingRunning != FALSE; }

BOOL SetFormat(const Request& r) {
  if (Capturing(r.device)) return FALSE;
  return SetOutputFormat(r.device, r.inSize, r.outSize);
}

// Both records are written whole, so buffers shorter than one are refused.
BOOL GetFormat(const Request& r) {
  if (r.out == nullptr || r.in == nullptr) return FALSE;
  if (r.outSize < kFormatRecordBytes || r.inSize < kFormatRecordBytes) return FALSE;
  StoreDword(r.out, r.device->sizeIndex);
  StoreDword(r.in, r.device->outputFormat);
  return TRUE;
}

BOOL GetJpeg(const Request& r) {
  if (!Capturing(r.device)) return FALSE;
  if (r.out == nullptr || r.returned == nullptr || r.outSize == 0) return FALSE;
  return FetchJpegImage(r.device, r.out, r.outSize, r.returned);
}

bool RegisterRecordsGiven(const Request& r) {
  return r.in != nullptr && r.out != nullptr && r.inSize == kRegisterRecordBytes && r.outSize == kRegisterRecordBytes;
}

BOOL ReadRegister(const Request& r) {
  if (!RegisterRecordsGiven(r)) return FALSE;
  StoreDword(r.out, ReadAuxByte(r.device, LoadWord(r.in)));
  return TRUE;
}

BOOL WriteRegister(const Request& r) {
  if (!RegisterRecordsGiven(r)) return FALSE;
  return WriteAuxByte(r.device, LoadWord(r.in), LoadWord(r.out));
}

BOOL GetFrame(const Request& r) {
  if (!Capturing(r.device)) return FALSE;
  VlmDevice& device = *r.device;
  const DWORD counter = device.frameCounter;
  if (counter > device.deliveredFrame) {
    try {
      return FetchNewFrame(&device, r.in, r.inSize, r.out, r.outSize, r.returned);
    } catch (...) {
      // A fault inside the decoder: the frame stays undelivered.
      return FALSE;
    }
  }
  // Capture started again since the last delivery.
  if (counter < device.deliveredFrame) device.deliveredFrame = counter;
  return FALSE;
}

BOOL SetExposure(const Request& r) { return SetExposureLevel(r.device, r.inSize != 0, r.outSize); }

BOOL GetMode(const Request& r) {
  if (r.returned == nullptr) return FALSE;
  *r.returned = r.device->lightMode;
  return TRUE;
}

BOOL SetMode(const Request& r) {
  if (Capturing(r.device) || r.inSize > kHighestLightMode) return FALSE;
  r.device->lightMode = r.inSize;
  return TRUE;
}

BOOL GetBandwidth(const Request& r) {
  if (r.returned == nullptr) return FALSE;
  *r.returned = r.device->bandwidthLevel;
  return TRUE;
}

BOOL SetBandwidth(const Request& r) {
  if (Capturing(r.device) || r.inSize > kHighestBandwidthLevel) return FALSE;
  r.device->bandwidthLevel = r.inSize;
  return TRUE;
}

BOOL GetVersion(const Request& r) {
  if (r.returned == nullptr || r.out == nullptr || r.outSize < VLM_VERSION_BYTES) return FALSE;
  std::memcpy(r.out, kVersionText.data(), VLM_VERSION_BYTES);
  *r.returned = VLM_VERSION_BYTES;
  return TRUE;
}

using RequestHandler = BOOL (*)(const Request&);

RequestHandler HandlerFor(DWORD code) {
  switch (code) {
    case IOCTL_VLM_START_CAPTURE: return [](const Request& r) { return StartStreaming(r.device); };
    case IOCTL_VLM_SET_FORMAT: return SetFormat;
    case IOCTL_VLM_GET_FORMAT: return GetFormat;
    case IOCTL_VLM_GET_JPEG: return GetJpeg;
    case IOCTL_VLM_READ_REGISTER: return ReadRegister;
    case IOCTL_VLM_WRITE_REGISTER: return WriteRegister;
    case IOCTL_VLM_GET_FRAME: return GetFrame;
    case IOCTL_VLM_SET_EXPOSURE: return SetExposure;
    case IOCTL_VLM_GET_MODE: return GetMode;
    case IOCTL_VLM_SET_MODE: return SetMode;
    case IOCTL_VLM_GET_BANDWIDTH: return GetBandwidth;
    case IOCTL_VLM_SET_BANDWIDTH: return SetBandwidth;
    case IOCTL_VLM_STOP_CAPTURE: return [](const Request& r) { return StopStreaming(r.device); };
    case IOCTL_VLM_GET_VERSION: return GetVersion;
    default: return nullptr;
  }
}

}  // namespace

BOOL DispatchControl(DWORD_PTR open, DWORD code, PBYTE inBuffer, DWORD inSize, PBYTE outBuffer, DWORD outSize,
                     PDWORD bytesReturned) {
  VlmDevice* device = DeviceFromHandle(open);
  if (!IsOpenAndPresent(device)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const RequestHandler handler = HandlerFor(code);
  if (handler == nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  return handler({device, inBuffer, inSize, outBuffer, outSize, bytesReturned});
}
