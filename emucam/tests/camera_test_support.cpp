#include "camera_test_support.h"

#include <turbojpeg.h>

#include <array>
#include <cstdlib>

#include "image/jpeg_header.h"

namespace emucam::testing {

std::shared_ptr<EmulatedCamera> MakeCamera(const std::string& options) {
  std::string error;
  auto camera = EmulatedCamera::Create(options, error);
  if (!camera) throw std::runtime_error(error);
  return camera;
}

ControlOutcome Control(EmulatedCamera& camera, const USB_DEVICE_REQUEST& setup, std::vector<uint8_t>& data) {
  ControlOutcome outcome;
  camera.SubmitControl(setup, data, [&outcome](DWORD usbError, DWORD bytes) { outcome = {true, usbError, bytes}; });
  return outcome;
}

bool WriteRegister(EmulatedCamera& camera, uint16_t reg, uint8_t value) {
  std::vector<uint8_t> none;
  const ControlOutcome outcome = Control(camera, {0x40, kRegisterWrite, value, reg, 0}, none);
  return outcome.completed && outcome.usbError == USB_NO_ERROR;
}

std::optional<uint8_t> ReadRegister(EmulatedCamera& camera, uint16_t reg) {
  std::vector<uint8_t> byte(1, 0xEE);
  const ControlOutcome outcome = Control(camera, {0xC0, kRegisterRead, 1, reg, 1}, byte);
  if (!outcome.completed || outcome.usbError != USB_NO_ERROR || outcome.bytes != 1) return std::nullopt;
  return byte[0];
}

void WriteSensor(EmulatedCamera& camera, uint8_t sensorReg, uint16_t value) {
  WriteRegister(camera, 0x092, sensorReg);
  WriteRegister(camera, 0x093, static_cast<uint8_t>(value & 0xFF));
  WriteRegister(camera, 0x094, static_cast<uint8_t>(value >> 8));
  WriteRegister(camera, 0x090, 0x01);
  ReadRegister(camera, 0x091);
}

uint16_t ReadSensor(EmulatedCamera& camera, uint8_t sensorReg) {
  WriteRegister(camera, 0x092, sensorReg);
  WriteRegister(camera, 0x090, 0x02);
  ReadRegister(camera, 0x091);
  const uint8_t low = ReadRegister(camera, 0x095).value_or(0);
  const uint8_t high = ReadRegister(camera, 0x096).value_or(0);
  return static_cast<uint16_t>(high << 8 | low);
}

std::vector<std::vector<uint8_t>> CaptureFrames(EmulatedCamera& camera, size_t frames, size_t* emptyPackets) {
  constexpr DWORD kPacket = 1023;
  constexpr size_t kMaxTransfers = 200000;
  const std::array<DWORD, 4> requested{kPacket, kPacket, kPacket, kPacket};
  std::array<DWORD, 4> actual{};
  std::vector<uint8_t> buffer(4 * kPacket);
  std::vector<std::vector<uint8_t>> done;
  std::optional<std::vector<uint8_t>> current;
  for (size_t transfer = 0; transfer < kMaxTransfers && done.size() < frames; ++transfer) {
    if (!camera.IsochIn(0x81, requested, buffer.data(), actual)) break;
    for (size_t i = 0; i < actual.size() && done.size() < frames; ++i) {
      const uint8_t* packet = buffer.data() + i * kPacket;
      if (actual[i] == 0) {
        if (emptyPackets) ++*emptyPackets;
        continue;
      }
      if (actual[i] >= 2 && packet[0] == 0xFF && packet[1] == 0xD8) {
        if (current) done.push_back(std::move(*current));
        current.emplace();
      }
      if (current) current->insert(current->end(), packet, packet + actual[i]);
    }
  }
  return done;
}

std::vector<uint8_t> RebuildJpeg(const std::vector<uint8_t>& frame, int width, int height) {
  std::vector<uint8_t> jpeg(JpegHeaderTemplate.begin(), JpegHeaderTemplate.end());
  PatchJpegFrameSize(jpeg.data(), static_cast<uint16_t>(width), static_cast<uint16_t>(height));
  if (frame.size() > 18) jpeg.insert(jpeg.end(), frame.begin() + 18, frame.end());
  return jpeg;
}

std::optional<PlanarImage> DecodeJpeg(const std::vector<uint8_t>& jpeg) {
  tjhandle handle = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  std::optional<PlanarImage> image;
  if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling, &colourspace) == 0 &&
      subsampling == TJSAMP_422) {
    image.emplace(width, height);
    std::array<unsigned char*, 3> planes{image->y.data(), image->cb.data(), image->cr.data()};
    if (tjDecompressToYUVPlanes(handle, jpeg.data(), jpeg.size(), planes.data(), width, nullptr, height, 0) != 0) {
      image.reset();
    }
  }
  tjDestroy(handle);
  return image;
}

double MeanAbsoluteDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(a[i] - b[i]);
  return sum / static_cast<double>(a.size());
}

double MeanOf(const std::vector<uint8_t>& plane) {
  double sum = 0;
  for (uint8_t v : plane) sum += v;
  return plane.empty() ? 0 : sum / static_cast<double>(plane.size());
}

std::optional<size_t> TrailingBytes(const std::vector<uint8_t>& frame) {
  for (size_t i = frame.size(); i >= 2; --i) {
    if (frame[i - 2] == 0xFF && frame[i - 1] == 0xD9) return frame.size() - i;
  }
  return std::nullopt;
}

}  // namespace emucam::testing
