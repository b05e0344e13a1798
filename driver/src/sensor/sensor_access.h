// Access to the image sensor's 16-bit registers through the controller's window.
#pragma once

#include "device/vlm_device.h"

// 092=reg 090=02 091? then 095 (low byte) and 096 (high byte). A failed read counts
// as zero bytes.
WORD ReadSensorRegister(VlmDevice* device, BYTE reg);

// 092=reg 093=low 094=high 090=01, then the status byte read from 091.
DWORD WriteSensorRegister(VlmDevice* device, BYTE reg, BYTE low, BYTE high);
