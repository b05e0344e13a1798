// Drives an emulated camera through its backend interface as a host would, one request
// at a time, and turns its packet stream back into frames and pictures.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emucam/emulated_camera.h"
#include "emucam/planar_image.h"

namespace emucam::testing {

std::shared_ptr<EmulatedCamera> MakeCamera(const std::string& options);

struct ControlOutcome {
  bool completed = false;
  DWORD usbError = 0;
  DWORD bytes = 0;
};
ControlOutcome Control(EmulatedCamera& camera, const USB_DEVICE_REQUEST& setup, std::vector<uint8_t>& data);

// Register requests of the controller; false / nullopt when the request failed.
bool WriteRegister(EmulatedCamera& camera, uint16_t reg, uint8_t value);
std::optional<uint8_t> ReadRegister(EmulatedCamera& camera, uint16_t reg);
// The sensor window's access sequences (092, 093, 094, 090, 091 / 092, 090, 091, 095, 096).
void WriteSensor(EmulatedCamera& camera, uint8_t sensorReg, uint16_t value);
uint16_t ReadSensor(EmulatedCamera& camera, uint8_t sensorReg);

// Pulls transfers of four packets until `frames` whole frames have arrived, cutting the
// stream at every packet that begins with FF D8. The frame still being received is
// left out; empty packets are counted in `emptyPackets` when given.
std::vector<std::vector<uint8_t>> CaptureFrames(EmulatedCamera& camera, size_t frames, size_t* emptyPackets = nullptr);

// The image the driver would rebuild: its constant header with the frame's size, then
// the frame from offset 18 on.
std::vector<uint8_t> RebuildJpeg(const std::vector<uint8_t>& frame, int width, int height);

// Decodes a JPEG image with libjpeg-turbo into 4:2:2 planes; nullopt when it fails.
std::optional<PlanarImage> DecodeJpeg(const std::vector<uint8_t>& jpeg);

double MeanAbsoluteDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
double MeanOf(const std::vector<uint8_t>& plane);

// Bytes after the last FF D9 of a frame; nullopt when the frame has none.
std::optional<size_t> TrailingBytes(const std::vector<uint8_t>& frame);

}  // namespace emucam::testing
