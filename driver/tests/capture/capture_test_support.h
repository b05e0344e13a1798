// Capture and delivery as a program sees them: an emulated camera plugged through the
// USB host, its stream device opened with CreateFileW and driven with DeviceIoControl
// and ReadFile. Also camera frames made to order for scripted packet streams.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver_test_support.h"
#include "platform/windows.h"
#include "velmar/vlm_ioctl.h"

namespace captest {

using Bytes = std::vector<uint8_t>;

// A frame as the camera sends it: FF D8 and its own header (18 bytes in all), the scan
// of the moving test pattern numbered `number`, FF D9 and `trailing` bytes of padding.
Bytes CameraFrame(int width, int height, uint32_t number, size_t trailing = 0);

// The frame cut into packets of at most `packetSize` bytes.
std::vector<Bytes> Packets(const Bytes& frame, size_t packetSize = 1023);

// Packets of all the frames in order: a script for the camera's scripted timing.
std::vector<Bytes> Script(const std::vector<Bytes>& frames, size_t packetSize = 1023);

// The image the driver rebuilds from a camera frame: its constant header with the size,
// then the frame from offset 18 on.
Bytes RebuiltJpeg(const Bytes& frame, int width, int height);

// A plugged camera with its stream device open.
class CameraSession {
 public:
  explicit CameraSession(const std::string& cameraOptions);
  ~CameraSession();
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  drvtest::PluggedCamera& Camera() { return camera_; }
  emucam::EmulatedCamera& Emu() { return camera_.Emu(); }
  VlmDevice* Device() { return camera_.Device(); }
  HANDLE Handle() const { return handle_; }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  // DeviceIoControl on the handle; *returned receives the bytes-returned word.
  BOOL Control(DWORD code, void* in = nullptr, DWORD inSize = 0, void* out = nullptr, DWORD outSize = 0,
               DWORD* returned = nullptr);
  BOOL Start() { return Control(IOCTL_VLM_START_CAPTURE); }
  BOOL Stop() { return Control(IOCTL_VLM_STOP_CAPTURE); }
  BOOL SetFormat(DWORD format, DWORD sizeIndex) {
    return Control(IOCTL_VLM_SET_FORMAT, nullptr, format, nullptr, sizeIndex);
  }

  // One ReadFile; the bytes read.
  DWORD Read(Bytes& buffer, DWORD count);
  // ReadFile until a frame comes (at most a few seconds); the bytes read, 0 when none came.
  DWORD ReadNextFrame(Bytes& buffer, DWORD count);

  // GET_FRAME until it succeeds (at most a few seconds); nullopt when no frame came.
  struct Frame {
    Bytes image;
    Bytes jpeg;
  };
  std::optional<Frame> NextFrame(DWORD imageCapacity, DWORD jpegCapacity = 40960);

  // Waits until the capture thread has seen `starts` frame starts.
  bool WaitForFrameStarts(uint32_t starts);

  void Close();

 private:
  drvtest::PluggedCamera camera_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

using vtest::PollUntil;

}  // namespace captest
