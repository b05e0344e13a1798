#include "capture_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "emucam/scan_encoder.h"
#include "emucam/test_pattern.h"
#include "image/jpeg_header.h"

namespace captest {
namespace {

constexpr size_t kCameraHeaderBytes = 18;

}  // namespace

Bytes CameraFrame(int width, int height, uint32_t number, size_t trailing) {
  emucam::TestPattern pattern(width, height);
  emucam::PlanarImage picture;
  pattern.Render(number, picture);
  emucam::ScanEncoder encoder;
  encoder.Encode(picture);
  Bytes frame = {0xFF, 0xD8};
  frame.resize(kCameraHeaderBytes, 0x00);
  const auto scan = encoder.Scan();
  frame.insert(frame.end(), scan.begin(), scan.end());
  frame.push_back(0xFF);
  frame.push_back(0xD9);
  frame.resize(frame.size() + trailing, 0x00);
  return frame;
}

std::vector<Bytes> Packets(const Bytes& frame, size_t packetSize) {
  std::vector<Bytes> packets;
  for (size_t offset = 0; offset < frame.size(); offset += packetSize) {
    const size_t end = std::min(frame.size(), offset + packetSize);
    packets.emplace_back(frame.begin() + static_cast<std::ptrdiff_t>(offset),
                         frame.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return packets;
}

std::vector<Bytes> Script(const std::vector<Bytes>& frames, size_t packetSize) {
  std::vector<Bytes> script;
  for (const Bytes& frame : frames) {
    for (Bytes& packet : Packets(frame, packetSize)) script.push_back(std::move(packet));
  }
  return script;
}

Bytes RebuiltJpeg(const Bytes& frame, int width, int height) {
  Bytes jpeg(JpegHeaderTemplate.begin(), JpegHeaderTemplate.end());
  PatchJpegFrameSize(jpeg.data(), static_cast<uint16_t>(width), static_cast<uint16_t>(height));
  jpeg.insert(jpeg.end(), frame.begin() + kCameraHeaderBytes, frame.end());
  return jpeg;
}

CameraSession::CameraSession(const std::string& cameraOptions) : camera_(cameraOptions) {
  if (camera_.StreamName().empty()) {
    ADD_FAILURE() << "the driver did not take the camera '" << cameraOptions << "'";
    return;
  }
  handle_ = drvtest::OpenStream(camera_.StreamName());
  EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << "open failed, error " << GetLastError();
}

CameraSession::~CameraSession() { Close(); }

void CameraSession::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

BOOL CameraSession::Control(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) {
  DWORD ignored = 0;
  return DeviceIoControl(handle_, code, in, inSize, out, outSize, returned != nullptr ? returned : &ignored, nullptr);
}

DWORD CameraSession::Read(Bytes& buffer, DWORD count) {
  if (buffer.size() < count) buffer.resize(count);
  DWORD read = 0;
  if (!ReadFile(handle_, buffer.data(), count, &read, nullptr)) return 0;
  return read;
}

DWORD CameraSession::ReadNextFrame(Bytes& buffer, DWORD count) {
  DWORD read = 0;
  PollUntil([&] { return (read = Read(buffer, count)) > 0; });
  return read;
}

std::optional<CameraSession::Frame> CameraSession::NextFrame(DWORD imageCapacity, DWORD jpegCapacity) {
  Frame frame{Bytes(imageCapacity), Bytes(jpegCapacity)};
  DWORD sizes[2] = {};
  const bool arrived = PollUntil([&] {
    return Control(IOCTL_VLM_GET_FRAME, frame.image.data(), imageCapacity, frame.jpeg.data(), jpegCapacity, sizes) !=
           FALSE;
  });
  if (!arrived) return std::nullopt;
  frame.image.resize(sizes[0]);
  frame.jpeg.resize(sizes[1]);
  return frame;
}

bool CameraSession::WaitForFrameStarts(uint32_t starts) {
  VlmDevice* device = Device();
  return device != nullptr && PollUntil([&] { return device->frameCounter >= starts; });
}

}  // namespace captest
