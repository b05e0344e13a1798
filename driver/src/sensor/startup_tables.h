// The constant start-up sequences sent at every start of streaming, one per sensor
// (type 11 has two variants) and picture size.
#pragma once

#include "platform/wintypes.h"
#include "usb/register_table.h"

// The table for a sensor type, its identifier and a size index (0 = 640 x 480,
// 1 = 320 x 240); null when there is none.
const RegisterEntry* StartupTable(DWORD sensorType, DWORD sensorIdentifier, DWORD sizeIndex);
