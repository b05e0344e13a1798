#include "sensor/sensor_access.h"

#include "usb/register_table.h"
#include "usb/vendor_transfer.h"

WORD ReadSensorRegister(VlmDevice* device, BYTE reg) {
  WriteControllerRegister(device, kSensorAddressRegister, reg);
  WriteControllerRegister(device, kSensorCommandRegister, kSensorCommandRead);
  DWORD status = 0;
  ReadControllerRegister(device, kSensorStatusRegister, &status);
  DWORD low = 0;
  DWORD high = 0;
  ReadControllerRegister(device, kSensorReadLowRegister, &low);
  ReadControllerRegister(device, kSensorReadHighRegister, &high);
  return static_cast<WORD>((high << 8) | low);
}

DWORD WriteSensorRegister(VlmDevice* device, BYTE reg, BYTE low, BYTE high) {
  WriteControllerRegister(device, kSensorAddressRegister, reg);
  WriteControllerRegister(device, kSensorWriteLowRegister, low);
  WriteControllerRegister(device, kSensorWriteHighRegister, high);
  WriteControllerRegister(device, kSensorCommandRegister, kSensorCommandWrite);
  DWORD status = 0;
  ReadControllerRegister(device, kSensorStatusRegister, &status);
  return status;
}
