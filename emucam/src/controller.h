// The camera controller's register file (0x000-0x3FF) with the behaviour behind it: the
// reset, the sensor register window, the auxiliary byte window and the identifier.
// Not thread-safe: the owning device serialises access.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "emucam/sensor_profile.h"
#include "registers.h"
#include "sensor.h"

namespace emucam {

// What the frame source needs to know of the controller for the next frame.
struct PictureSettings {
  int width;
  int height;
  int gainPermille;  // 1000: nominal brightness
};

class Controller {
 public:
  Controller(const SensorProfile& profile, uint16_t controllerId);

  void Write(uint16_t reg, uint8_t value);
  uint8_t Read(uint16_t reg) const;

  PictureSettings Picture() const;
  const Sensor& sensor() const { return sensor_; }

 private:
  void Reset();
  void RunSensorCommand(uint8_t command);
  void RunAuxCommand(uint8_t command);
  SensorBus Bus() const;
  uint16_t AuxAddress() const;

  std::array<uint8_t, reg::kCount> registers_{};
  Sensor sensor_;
  uint16_t controllerId_;
  // Memory behind the auxiliary window: survives resets, lives as long as the device.
  std::vector<uint8_t> auxStore_;
};

}  // namespace emucam
