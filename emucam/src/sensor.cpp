#include "sensor.h"

#include <algorithm>

namespace emucam {

Sensor::Sensor(const SensorProfile& profile) : profile_(profile) {
  for (const SensorRegisterValue& preset : profile.powerOnRegisters) registers_[preset.reg] = preset.value;
}

bool Sensor::AnswersOn(const SensorBus& bus) const {
  return std::find(profile_.buses.begin(), profile_.buses.end(), bus) != profile_.buses.end();
}

bool Sensor::Write(const SensorBus& bus, uint8_t reg, uint16_t value) {
  if (!AnswersOn(bus)) return false;
  if (!profile_.readOnlyRegisters) registers_[reg] = value;
  return true;
}

std::optional<uint16_t> Sensor::Read(const SensorBus& bus, uint8_t reg) const {
  if (!AnswersOn(bus)) return std::nullopt;
  return registers_[reg];
}

}  // namespace emucam
