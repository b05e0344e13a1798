// Image and exposure controls: the settings applied at every start of streaming and
// the exposure, which acts at once.
#pragma once

#include "device/vlm_device.h"

inline constexpr DWORD kLightMode50Hz = 0;
inline constexpr DWORD kLightModeOutdoor = 2;

// Registers 0x195..0x197 for the sensor type and mode; FALSE without traffic for mode 1,
// an unknown mode or a sensor type without values.
BOOL ApplyLightMode(VlmDevice* device, DWORD lightMode);
// 11D = low byte of the level, 18D = level + 16 below 0x70, else 0x80.
BOOL ApplyLevel(VlmDevice* device, DWORD level);
BOOL ApplyRegister008(VlmDevice* device, DWORD value);
// 180 = 0x42 when the switch is non-zero, 0x02 otherwise.
BOOL ApplyRegister180(VlmDevice* device, DWORD registerSwitch);

// Automatic exposure (flag non-zero) or a manual level of 0 to 100 (larger values are
// taken as 100), sent at once.
BOOL SetExposureLevel(VlmDevice* device, DWORD automatic, DWORD manualValue);
