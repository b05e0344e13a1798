// The start-up sequence sent at every start of streaming.
#pragma once

#include "device/vlm_device.h"

// The start-up table of the sensor type and size index, then light mode, level,
// register 0x008 and register 0x180. FALSE without traffic for a bad, closed or removed
// device; FALSE (settings still sent) when there is no table for the sensor or size.
BOOL StartCamera(VlmDevice* device);

// Register 0x000 written with 1; before and after the sensor set-up and at stream stop.
BOOL ResetController(VlmDevice* device);
