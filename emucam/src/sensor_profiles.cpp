#include "emucam/sensor_profile.h"

#include <array>

namespace emucam {
namespace {

// Controller identifiers: the three that mark the newer controller of sensor type 11,
// and a neutral one for every other board.
constexpr uint16_t kNeutralControllerId = 0x0000;
constexpr uint16_t kVariantAControllerId = 0xC001;

const std::vector<SensorProfile>& Profiles() {
  static const std::vector<SensorProfile> profiles = {
      {"10",
       15,
       10,
       {{0x0F, 0x00, 0x08}},
       {},
       kNeutralControllerId,
       "type 10: echoes sensor register 0x03 behind selection 0x0F, bank 0x8D=0x08"},
      {"2",
       0,
       2,
       {{0x00, 0x00, 0x00}},
       {},
       kNeutralControllerId,
       "type 2: echoes sensor register 0x01 behind selection 0x00; has start-up tables"},
      {"13", 4, 13, {{0x04, 0x00, 0x00}}, {}, kNeutralControllerId, "type 13: selection 0x04, no start-up table"},
      {"21",
       6,
       21,
       {{0x06, 0x00, 0x08}},
       {},
       kNeutralControllerId,
       "type 21: echoes sensor register 0x11 behind selection 0x06, bank 0x8D=0x08"},
      {"14",
       8,
       14,
       {{0x08, 0x00, 0x00}},
       {},
       kNeutralControllerId,
       "type 14: echoes sensor register 0x15 behind selection 0x08"},
      {"11",
       10,
       11,
       {{0x0A, 0x00, 0x00}},
       {},
       kNeutralControllerId,
       "type 11 found by its echo of sensor register 0x07 (variant B start-up tables)"},
      {"8", 12, 8, {{0x0C, 0x00, 0x00}}, {}, kNeutralControllerId, "type 8: selection 0x0C, no start-up table"},
      {"9",
       14,
       9,
       {{0x0E, 0x00, 0x08}},
       {},
       kNeutralControllerId,
       "type 9: echoes sensor register 0x03 behind selection 0x0E, bank 0x8D=0x08"},
      {"unsupported",
       2,
       0,
       {{0x02, 0x00, 0x00}},
       {},
       kNeutralControllerId,
       "a sensor behind selection 0x02: detected, but the driver refuses to start"},
      {"21id",
       6,
       21,
       {{0x06, 0xA1, 0x08}},
       {{0x0A, 0x0076}, {0x0B, 0x0031}},
       kNeutralControllerId,
       "type 21 found only by its identifier 0x7631 behind bank 0x8B=0xA1"},
      {"7b3",
       16,
       7,
       {{0x00, 0xB3, 0x00}},
       {{0x11, 0x0062}, {0x12, 0x0001}},
       kNeutralControllerId,
       "a sensor answering behind bank 0x8B=0xB3: recorded as no sensor (type 7)"},
      {"12",
       17,
       12,
       {{0x00, 0x91, 0x00}, {0x01, 0x00, 0x00}},
       {{0x14, 0x0040}, {0x15, 0x0012}, {0x16, 0x0003}},
       kNeutralControllerId,
       "type 12: answers behind bank 0x8B=0x91, runs behind selection 0x01"},
      {"11a",
       19,
       11,
       {{0x0A, 0xDC, 0x00}},
       {},
       kVariantAControllerId,
       "type 11 on the controller with identifier 0xC001 (variant A start-up tables)"},
      {"7e0",
       18,
       7,
       {{0x00, 0xE0, 0x00}},
       {{0x14, 0x0021}, {0x15, 0x0005}},
       kNeutralControllerId,
       "a sensor answering behind bank 0x8B=0xE0: recorded as no sensor (type 7)"},
      {"hibyte",
       -1,
       7,
       {{0x00, 0x00, 0x00}},
       {{0x01, 0x5500}},
       kNeutralControllerId,
       "a sensor behind selection 0x00 whose register 0x01 keeps 0x5500: a low byte of 0 is no answer, so "
       "nothing is found (type 7)",
       true},
      {"none", -1, 7, {}, {}, kNeutralControllerId, "no sensor at all (type 7)"},
  };
  return profiles;
}

struct Alias {
  std::string_view alias;
  std::string_view name;
};
constexpr std::array kAliases = {Alias{"7", "none"}, Alias{"11b", "11"}};

}  // namespace

std::span<const SensorProfile> AllSensorProfiles() { return Profiles(); }

const SensorProfile* FindSensorProfile(std::string_view name) {
  for (const Alias& alias : kAliases) {
    if (alias.alias == name) name = alias.name;
  }
  for (const SensorProfile& profile : Profiles()) {
    if (profile.name == name) return &profile;
  }
  return nullptr;
}

std::string SensorProfileNames() {
  std::string names;
  for (const SensorProfile& profile : Profiles()) {
    if (!names.empty()) names += ", ";
    names += profile.name;
  }
  for (const Alias& alias : kAliases) {
    names += ", ";
    names += alias.alias;
  }
  return names;
}

}  // namespace emucam
