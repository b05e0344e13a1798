// Image sensor codes the detection records, and the controller identifiers that pick
// the first start-up variant of sensor type 11.
#pragma once

#include "platform/wintypes.h"

inline constexpr DWORD kSensorTypeNone = 7;
inline constexpr DWORD kSensorType2 = 2;
inline constexpr DWORD kSensorType11 = 11;
inline constexpr DWORD kSensorType12 = 12;

constexpr bool IsType11VariantAIdentifier(DWORD identifier) {
  return identifier == 0xC001 || identifier == 0xE001 || identifier == 0x8001;
}
