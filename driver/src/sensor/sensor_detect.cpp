#include "sensor/sensor_detect.h"

#include "sensor/sensor_access.h"
#include "sensor/sensor_types.h"
#include "usb/register_table.h"
#include "usb/vendor_transfer.h"

namespace {

constexpr BYTE kNoRegister = 0xFF;
constexpr WORD kBankRegister8B = 0x08B;
constexpr WORD kBankRegister8D = 0x08D;
constexpr DWORD kPrepareSettleMs = 2;
constexpr DWORD kIdentifierSettleMs = 150;

// One probe: select a sensor interface with `code`, optionally set a bank register,
// write a test value and read it back.
struct SensorProbe {
  BYTE code;
  BYTE bankRegister;  // 0x8D, 0x8B, or kNoRegister
  BYTE bankValue;
  BYTE register1;
  WORD value1;
  BYTE register2;  // kNoRegister: read back register1
  WORD value2;
};

constexpr SensorProbe kFirstProbe{0x0F, 0x8D, 0x08, 0x03, 0x00AA, kNoRegister, 0};

constexpr SensorProbe kProbes[] = {
    {0x00, kNoRegister, 0, 0x01, 0x00AA, kNoRegister, 0},
    {0x04, kNoRegister, 0, 0x01, 0x00AA, kNoRegister, 0},
    {0x06, 0x8D, 0x08, 0x11, 0x00AA, kNoRegister, 0},
    {0x08, kNoRegister, 0, 0x1C, 0x0000, 0x15, 0x00AA},
    {0x0A, kNoRegister, 0, 0x07, 0xAAAA, kNoRegister, 0},
    {0x0C, kNoRegister, 0, 0x01, 0x00AA, kNoRegister, 0},
    {0x0E, 0x8D, 0x08, 0x03, 0x00AA, kNoRegister, 0},
    {0x02, kNoRegister, 0, 0x01, 0x00AA, kNoRegister, 0},
    // The identifier probe: the sensor answers 0x7631 in registers 0x0A (high) and 0x0B (low).
    {0x06, 0x8B, 0xA1, 0x12, 0x0080, kNoRegister, 0},
};
constexpr BYTE kIdentifierHighRegister = 0x0A;
constexpr BYTE kIdentifierLowRegister = 0x0B;
constexpr WORD kProbeIdentifier = 0x7631;

// Sensors found by switching the controller's bank register 0x08B and reading a few
// sensor registers; the result is 16 + the entry's number.
struct IdentifierProbe {
  WORD controllerRegister;
  BYTE controllerValue;
  BYTE sensorRegisters[3];  // kNoRegister: none
};

constexpr IdentifierProbe kIdentifierProbes[] = {
    {kBankRegister8B, 0xB3, {0x11, 0x12, kNoRegister}},
    {kBankRegister8B, 0x91, {0x14, 0x15, 0x16}},
    {kBankRegister8B, 0xE0, {0x14, 0x15, 0x16}},
};
constexpr int kIdentifierProbeBase = 16;
// The entry whose controller also reports an identifier word in registers 0x00B/0x00A.
constexpr BYTE kControllerIdentifierValue = 0x91;
constexpr int kControllerIdentifierResult = 19;

BOOL Write(VlmDevice* device, WORD reg, BYTE value) { return WriteControllerRegister(device, reg, value); }

BOOL Read(VlmDevice* device, WORD reg) {
  DWORD discarded = 0;
  return ReadControllerRegister(device, reg, &discarded);
}

BYTE LowByte(WORD value) { return static_cast<BYTE>(value & 0xFF); }
BYTE HighByte(WORD value) { return static_cast<BYTE>(value >> 8); }

void WriteSensor(VlmDevice* device, BYTE reg, WORD value) {
  WriteSensorRegister(device, reg, LowByte(value), HighByte(value));
}

void PrepareWithCode(VlmDevice* device, BYTE code) {
  Write(device, 0x000, 0x01);
  Write(device, 0x010, code);
  Write(device, 0x001, 0x01);
  Write(device, 0x012, 0x03);
  Write(device, 0x012, 0x01);
  Sleep(kPrepareSettleMs);
}

bool FirstProbeAnswers(VlmDevice* device) {
  PrepareWithCode(device, kFirstProbe.code);
  Write(device, kBankRegister8D, kFirstProbe.bankValue);
  WriteSensor(device, kFirstProbe.register1, kFirstProbe.value1);
  Sleep(kPrepareSettleMs);
  const WORD answer = ReadSensorRegister(device, kFirstProbe.register1);
  Sleep(kPrepareSettleMs);
  return LowByte(answer) == LowByte(kFirstProbe.value1);
}

bool OrdinaryProbeAnswers(VlmDevice* device, const SensorProbe& probe) {
  PrepareWithCode(device, probe.code);
  if (probe.bankRegister == kBankRegister8D) Write(device, kBankRegister8D, probe.bankValue);
  WriteSensor(device, probe.register1, probe.value1);
  BYTE readBack = probe.register1;
  if (probe.register2 != kNoRegister) {
    WriteSensor(device, probe.register2, probe.value2);
    readBack = probe.register2;
  }
  return LowByte(ReadSensorRegister(device, readBack)) != 0;
}

bool IdentifierProbeAnswers(VlmDevice* device, const SensorProbe& probe) {
  Write(device, 0x000, 0x01);
  Write(device, 0x001, 0x01);
  Write(device, 0x010, probe.code);
  Write(device, kBankRegister8B, probe.bankValue);
  Write(device, kBankRegister8D, 0x08);
  Sleep(kIdentifierSettleMs);
  Write(device, 0x012, 0x01);
  WriteSensor(device, probe.register1, probe.value1);
  const BYTE high = LowByte(ReadSensorRegister(device, kIdentifierHighRegister));
  const BYTE low = LowByte(ReadSensorRegister(device, kIdentifierLowRegister));
  if (((high << 8) | low) != kProbeIdentifier) return false;
  Write(device, 0x010, probe.code);
  return true;
}

// Result of one identifier-table entry, or kNoSensorFound to go on.
int RunIdentifierProbe(VlmDevice* device, const IdentifierProbe& probe, int entryNumber) {
  Write(device, 0x010, 0x02);
  Read(device, 0x010);
  Write(device, 0x000, 0x01);
  Write(device, 0x010, 0x00);
  Write(device, 0x001, 0x01);
  Write(device, probe.controllerRegister, probe.controllerValue);
  Write(device, 0x012, 0x03);
  Write(device, 0x012, 0x01);
  Write(device, 0x012, 0x05);

  for (BYTE reg : probe.sensorRegisters) {
    if (reg == kNoRegister) continue;
    if (LowByte(ReadSensorRegister(device, reg)) != 0) return kIdentifierProbeBase + entryNumber;
  }
  if (probe.controllerValue != kControllerIdentifierValue) return kNoSensorFound;

  Write(device, 0x010, 0x02);
  DWORD high = 0;
  DWORD low = 0;
  ReadControllerRegister(device, 0x00B, &high);
  ReadControllerRegister(device, 0x00A, &low);
  const DWORD identifier = (high << 8) | low;
  if (!IsType11VariantAIdentifier(identifier)) return kNoSensorFound;
  device->sensorIdentifier = identifier;
  Read(device, 0x010);
  Write(device, 0x000, 0x01);
  Write(device, 0x03A, 0x0D);
  Write(device, 0x03B, 0x02);
  Write(device, 0x038, 0x00);
  return kControllerIdentifierResult;
}

}  // namespace

int DetectSensor(VlmDevice* device) {
  if (FirstProbeAnswers(device)) return kFirstProbe.code;
  for (const SensorProbe& probe : kProbes) {
    const bool answers = probe.bankRegister == kBankRegister8B ? IdentifierProbeAnswers(device, probe)
                                                               : OrdinaryProbeAnswers(device, probe);
    if (answers) return probe.code;
  }
  int entryNumber = 0;
  for (const IdentifierProbe& probe : kIdentifierProbes) {
    const int result = RunIdentifierProbe(device, probe, entryNumber++);
    if (result != kNoSensorFound) return result;
  }
  return kNoSensorFound;
}

bool SensorTypeForDetection(int detection, DWORD& sensorType) {
  switch (detection) {
    case kNoSensorFound:
    case 16:
    case 18: sensorType = kSensorTypeNone; return true;
    case 0: sensorType = 2; return true;
    case 4: sensorType = 13; return true;
    case 6: sensorType = 21; return true;
    case 8: sensorType = 14; return true;
    case 10:
    case 19: sensorType = 11; return true;
    case 12: sensorType = 8; return true;
    case 14: sensorType = 9; return true;
    case 15: sensorType = 10; return true;
    case 17: sensorType = 12; return true;
    default: return false;
  }
}

BOOL InitSensor(VlmDevice* device) {
  if (!IsValidDevice(device)) return FALSE;
  device->register008Value = 1;
  const int detection = DetectSensor(device);
  SensorTypeForDetection(detection, device->sensorType);

  switch (detection) {
    case 1:
    case 2:
    case 3:
    case 5:
    case 7:
    case 9:
    case 11:
    case 13: return FALSE;  // interfaces the controller cannot drive
    default: break;
  }

  BOOL ok = TRUE;
  if (detection == kNoSensorFound || detection == 16 || detection == 18) {
    ok = Write(device, 0x010, 0x02) && ok;
    ok = Read(device, 0x010) && ok;
  } else {
    const BYTE selection = static_cast<BYTE>(detection & 0x0F);
    ok = Write(device, 0x010, selection) && ok;
    ok = Read(device, 0x010) && ok;
    if (selection == 6) ok = Write(device, 0x000, 0x01) && ok;
  }
  return ok;
}
