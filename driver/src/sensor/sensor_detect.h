// Finding out which image sensor sits behind the controller, and programming the
// controller's sensor selection for it.
#pragma once

#include "device/vlm_device.h"

inline constexpr int kNoSensorFound = -1;

// Probes the sensors one after the other. Returns the controller code of the probe that
// answered, 16 + n for entry n of the identifier probes, 19 for a controller identifier
// (recorded in the record), or kNoSensorFound.
int DetectSensor(VlmDevice* device);

// The sensor type a detection result stands for; false for results that leave it as it is.
bool SensorTypeForDetection(int detection, DWORD& sensorType);

// Runs the detection, records the sensor type and selects the sensor in the controller.
// FALSE for a bad record, for detection results the controller cannot drive, or when
// the selection requests fail.
BOOL InitSensor(VlmDevice* device);
