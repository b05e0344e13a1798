// The image sensors the emulated camera can carry. Each profile is one outcome of the
// driver's sensor detection: it answers on the controller's sensor window only with
// the selection and bank registers under which the detection looks for it.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace emucam {

// Controller settings that route the sensor window to a sensor: selection register
// 0x010 and bank registers 0x08B and 0x08D.
struct SensorBus {
  uint8_t selection;
  uint8_t bank8B;
  uint8_t bank8D;
  bool operator==(const SensorBus&) const = default;
};

struct SensorRegisterValue {
  uint8_t reg;
  uint16_t value;
};

struct SensorProfile {
  std::string_view name;         // as written in the configuration string
  int detectionResult;           // what the detection ends with (-1: nothing found)
  int sensorType;                // what the driver records (0: start-up fails)
  std::vector<SensorBus> buses;  // settings under which the sensor answers
  std::vector<SensorRegisterValue> powerOnRegisters;
  uint16_t controllerId;  // controller registers 0x00B (high) and 0x00A (low)
  std::string_view description;
  // Registers that keep their power-on values: writes are acknowledged and dropped.
  bool readOnlyRegisters = false;
};

// A profile shows as its name (in test names and failure messages).
inline std::ostream& operator<<(std::ostream& out, const SensorProfile& profile) { return out << profile.name; }

// Every profile, in the order the detection would find them.
std::span<const SensorProfile> AllSensorProfiles();

// Looks a profile up by its name ("2", "11a", "none", ...); aliases included.
const SensorProfile* FindSensorProfile(std::string_view name);

// The names accepted by FindSensorProfile, for error messages and help texts.
std::string SensorProfileNames();

}  // namespace emucam
