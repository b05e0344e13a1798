// The image sensor behind the controller's window: a file of 256 16-bit registers that
// answers only on the buses of its profile.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "emucam/sensor_profile.h"

namespace emucam {

class Sensor {
 public:
  explicit Sensor(const SensorProfile& profile);

  bool AnswersOn(const SensorBus& bus) const;
  // Both return nothing / false when the sensor does not answer on `bus`.
  bool Write(const SensorBus& bus, uint8_t reg, uint16_t value);
  std::optional<uint16_t> Read(const SensorBus& bus, uint8_t reg) const;

  // The register as the sensor itself uses it (exposure), whatever the bus.
  uint16_t Internal(uint8_t reg) const { return registers_[reg]; }
  bool Present() const { return !profile_.buses.empty(); }
  const SensorProfile& profile() const { return profile_; }

 private:
  const SensorProfile& profile_;
  std::array<uint16_t, 256> registers_{};
};

}  // namespace emucam
