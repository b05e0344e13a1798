#include "sensor/camera_controls.h"

#include "sensor/sensor_types.h"
#include "sensor/sequence_notation.h"
#include "usb/register_table.h"
#include "usb/vendor_transfer.h"

namespace {

struct LightModeValues {
  DWORD sensorType;
  BYTE mains50Hz[3];  // 195, 196, 197
  BYTE outdoor[3];
};

constexpr LightModeValues kLightModeValues[] = {
    {kSensorType2, {0x01, 0x86, 0xA0}, {0x00, 0x02, 0x00}},
    {kSensorType11, {0x00, 0x00, 0x8A}, {0x00, 0x00, 0x01}},
    {kSensorType12, {0x01, 0xD4, 0xC0}, {0x00, 0x02, 0x00}},
};
constexpr WORD kLightModeRegisters[3] = {0x195, 0x196, 0x197};

constexpr SequenceText kAutomaticExposureText =
    "180? 180=00 019=00 S05=0066 S09=02B2 S10=0002 11D=60 190=00 191=07 192=8C 195=00 196=00\n"
    "197=8A 18C=10 18F=20 1A9=14 1AA=24 01D=D7 01E=F0 01F=F8 020=FF 180=42";
constexpr auto kAutomaticExposure = ExpandSequence<kAutomaticExposureText>();
static_assert(kAutomaticExposure.count == 34);

constexpr DWORD kManualExposureMax = 100;
constexpr DWORD kManualExposureScale = 20;

// 180? 180=02 190? 191? 192? 195? 196? 197? S09=v S10=(v >> 8)
constexpr RegisterSequence<18> ManualExposure(DWORD manualValue) {
  const auto v = static_cast<uint16_t>((manualValue < kManualExposureMax ? manualValue : kManualExposureMax) *
                                       kManualExposureScale);
  RegisterSequence<18> sequence;
  sequence.Read(0x180);
  sequence.Write(0x180, 0x02);
  for (uint16_t reg : {0x190, 0x191, 0x192, 0x195, 0x196, 0x197}) sequence.Read(reg);
  sequence.SensorWrite(0x09, v);
  sequence.SensorWrite(0x10, static_cast<uint16_t>(v >> 8));
  return sequence;
}

}  // namespace

BOOL ApplyLightMode(VlmDevice* device, DWORD lightMode) {
  if (!IsValidDevice(device) || (lightMode != kLightMode50Hz && lightMode != kLightModeOutdoor)) return FALSE;
  for (const LightModeValues& values : kLightModeValues) {
    if (values.sensorType != device->sensorType) continue;
    const BYTE* bytes = lightMode == kLightMode50Hz ? values.mains50Hz : values.outdoor;
    BOOL ok = TRUE;
    for (int i = 0; i < 3; ++i) ok = WriteControllerRegister(device, kLightModeRegisters[i], bytes[i]) && ok;
    return ok;
  }
  return FALSE;
}

BOOL ApplyLevel(VlmDevice* device, DWORD level) {
  const auto v = static_cast<BYTE>(level & 0xFF);
  const BYTE highLevel = 0x70;
  const BOOL first = WriteControllerRegister(device, 0x11D, v);
  const BOOL second = WriteControllerRegister(device, 0x18D, v < highLevel ? static_cast<BYTE>(v + 16) : 0x80);
  return first && second;
}

BOOL ApplyRegister008(VlmDevice* device, DWORD value) {
  return WriteControllerRegister(device, 0x008, static_cast<BYTE>(value & 0xFF));
}

BOOL ApplyRegister180(VlmDevice* device, DWORD registerSwitch) {
  return WriteControllerRegister(device, 0x180, registerSwitch != 0 ? 0x42 : 0x02);
}

BOOL SetExposureLevel(VlmDevice* device, DWORD automatic, DWORD manualValue) {
  if (!IsValidDevice(device)) return FALSE;
  if (automatic != 0) return RunRegisterTable(device, kAutomaticExposure.Table());
  const RegisterSequence<18> manual = ManualExposure(manualValue);
  return RunRegisterTable(device, manual.Table());
}
