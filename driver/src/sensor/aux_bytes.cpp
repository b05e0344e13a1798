#include "sensor/aux_bytes.h"

#include "usb/vendor_transfer.h"

namespace {

constexpr WORD kAuxCommandRegister = 0x301;
constexpr WORD kAuxStatusRegister = 0x302;
constexpr WORD kAuxAddressRegister = 0x303;
constexpr WORD kAuxAddressExtensionRegister = 0x304;
constexpr WORD kAuxWriteRegister = 0x305;
constexpr WORD kAuxReadRegister = 0x306;
constexpr BYTE kAuxCommandWrite = 0x01;
constexpr BYTE kAuxCommandRead = 0x02;

// Address and byte go to the controller as the caller's 16-bit values in wValue.
BOOL WriteWindowRegister(VlmDevice* device, WORD reg, DWORD value) {
  return VendorWrite(device, kRegisterWriteRequest, static_cast<WORD>(value & 0xFFFF), reg, nullptr, 0);
}

}  // namespace

DWORD ReadAuxByte(VlmDevice* device, DWORD address) {
  BOOL ok = WriteControllerRegister(device, kAuxAddressExtensionRegister, 0x00);
  ok = WriteWindowRegister(device, kAuxAddressRegister, address) && ok;
  ok = WriteControllerRegister(device, kAuxCommandRegister, kAuxCommandRead) && ok;
  DWORD status = 0;
  DWORD byte = 0;
  ok = ReadControllerRegister(device, kAuxStatusRegister, &status) && ok;
  ok = ReadControllerRegister(device, kAuxReadRegister, &byte) && ok;
  return ok ? byte : kAuxReadFailed;
}

BOOL WriteAuxByte(VlmDevice* device, DWORD address, DWORD byte) {
  BOOL ok = WriteControllerRegister(device, kAuxAddressExtensionRegister, 0x00);
  ok = WriteWindowRegister(device, kAuxAddressRegister, address) && ok;
  ok = WriteWindowRegister(device, kAuxWriteRegister, byte) && ok;
  ok = WriteControllerRegister(device, kAuxCommandRegister, kAuxCommandWrite) && ok;
  DWORD status = 0;
  DWORD readBack = 0;
  ok = ReadControllerRegister(device, kAuxStatusRegister, &status) && ok;
  ok = ReadControllerRegister(device, kAuxReadRegister, &readBack) && ok;
  return ok;
}
