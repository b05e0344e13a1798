#include "controller.h"

#include <algorithm>

namespace emucam {
namespace {
constexpr size_t kAuxStoreBytes = 0x10000;  // 16-bit addresses: 0x304 high, 0x303 low
constexpr int kMaxGainPermille = 4000;
}  // namespace

Controller::Controller(const SensorProfile& profile, uint16_t controllerId)
    : sensor_(profile), controllerId_(controllerId), auxStore_(kAuxStoreBytes, 0) {}

void Controller::Write(uint16_t r, uint8_t value) {
  switch (r) {
    case reg::kReset:
      if (value & 0x01) {
        Reset();
      } else {
        registers_[r] = value;
      }
      return;
    case reg::kIdLow:
    case reg::kIdHigh:
    case reg::kSensorStatus:
    case reg::kSensorReadLow:
    case reg::kSensorReadHigh:
    case reg::kAuxStatus:
    case reg::kAuxReadByte: return;  // read only
    default: break;
  }
  registers_[r] = value;
  if (r == reg::kSensorCommand) RunSensorCommand(value);
  if (r == reg::kAuxCommand) RunAuxCommand(value);
}

uint8_t Controller::Read(uint16_t r) const {
  if (r == reg::kIdLow) return static_cast<uint8_t>(controllerId_ & 0xFF);
  if (r == reg::kIdHigh) return static_cast<uint8_t>(controllerId_ >> 8);
  return registers_[r];
}

// A reset returns every register to its power-on value (0) and ends any command in the
// windows. The sensor is a chip of its own and the auxiliary memory is not a register:
// both keep their contents.
void Controller::Reset() { registers_.fill(0); }

SensorBus Controller::Bus() const {
  return {registers_[reg::kSelection], registers_[reg::kBank8B], registers_[reg::kBank8D]};
}

void Controller::RunSensorCommand(uint8_t command) {
  const uint8_t sensorReg = registers_[reg::kSensorAddress];
  bool acknowledged = false;
  if (command == reg::kCommandWrite) {
    const uint16_t value =
        static_cast<uint16_t>(registers_[reg::kSensorWriteHigh] << 8 | registers_[reg::kSensorWriteLow]);
    acknowledged = sensor_.Write(Bus(), sensorReg, value);
  } else if (command == reg::kCommandRead) {
    const std::optional<uint16_t> value = sensor_.Read(Bus(), sensorReg);
    acknowledged = value.has_value();
    // A read that nobody answers leaves zeros in the value registers.
    registers_[reg::kSensorReadLow] = static_cast<uint8_t>(value.value_or(0) & 0xFF);
    registers_[reg::kSensorReadHigh] = static_cast<uint8_t>(value.value_or(0) >> 8);
  }
  registers_[reg::kSensorStatus] = acknowledged ? reg::kStatusDone : reg::kStatusNoAcknowledge;
}

uint16_t Controller::AuxAddress() const {
  return static_cast<uint16_t>(registers_[reg::kAuxAddressHigh] << 8 | registers_[reg::kAuxAddress]);
}

void Controller::RunAuxCommand(uint8_t command) {
  uint8_t status = reg::kStatusDone;
  if (command == reg::kCommandWrite) {
    auxStore_[AuxAddress()] = registers_[reg::kAuxWriteByte];
  } else if (command == reg::kCommandRead) {
    registers_[reg::kAuxReadByte] = auxStore_[AuxAddress()];
  } else {
    status = reg::kStatusNoAcknowledge;
  }
  registers_[reg::kAuxStatus] = status;
}

PictureSettings Controller::Picture() const {
  const bool small = (registers_[reg::kSize] & reg::kSizeSmall) != 0;
  const uint8_t mode = registers_[reg::kExposureMode];
  const bool manualExposure = (mode & 0x42) == 0x02;
  int gain = 1000;
  if (manualExposure && sensor_.Present()) {
    gain = std::min<int>(sensor_.Internal(reg::kSensorExposure), kMaxGainPermille);
  }
  return {small ? 320 : 640, small ? 240 : 480, gain};
}

}  // namespace emucam
