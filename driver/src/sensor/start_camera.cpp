#include "sensor/start_camera.h"

#include "sensor/camera_controls.h"
#include "sensor/startup_tables.h"
#include "usb/vendor_transfer.h"

BOOL StartCamera(VlmDevice* device) {
  if (!IsValidDevice(device) || !device->open || device->removed) return FALSE;
  const RegisterEntry* table = StartupTable(device->sensorType, device->sensorIdentifier, device->sizeIndex);
  BOOL ok = table != nullptr ? RunRegisterTable(device, table) : FALSE;
  ok = ApplyLightMode(device, device->lightMode) && ok;
  ok = ApplyLevel(device, device->levelSetting) && ok;
  ok = ApplyRegister008(device, device->register008Value) && ok;
  ok = ApplyRegister180(device, device->register180Switch) && ok;
  return ok;
}

BOOL ResetController(VlmDevice* device) { return WriteControllerRegister(device, 0x000, 0x01); }
