// Register tables: the controller is programmed with runs of vendor requests, each
// entry (request, value, index); request 0 ends a table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct RegisterEntry {
  uint16_t request;
  uint16_t value;
  uint16_t index;
};

inline constexpr uint16_t kRegisterWriteRequest = 0xA0;  // wValue = byte, wIndex = register, no data
inline constexpr uint16_t kRegisterReadRequest = 0xA1;   // wValue = 1, wIndex = register, one byte in

// The sensor sits behind a register window of the controller.
inline constexpr uint16_t kSensorCommandRegister = 0x090;  // 0x01 write, 0x02 read
inline constexpr uint16_t kSensorStatusRegister = 0x091;
inline constexpr uint16_t kSensorAddressRegister = 0x092;
inline constexpr uint16_t kSensorWriteLowRegister = 0x093;
inline constexpr uint16_t kSensorWriteHighRegister = 0x094;
inline constexpr uint16_t kSensorReadLowRegister = 0x095;
inline constexpr uint16_t kSensorReadHighRegister = 0x096;
inline constexpr uint8_t kSensorCommandWrite = 0x01;
inline constexpr uint8_t kSensorCommandRead = 0x02;

// A table under construction with room for Capacity requests and the terminator.
// Sensor accesses expand into the five window requests the controller needs.
template <std::size_t Capacity>
struct RegisterSequence {
  std::array<RegisterEntry, Capacity + 1> entries{};
  std::size_t count = 0;

  constexpr void Write(uint16_t reg, uint8_t value) { Append({kRegisterWriteRequest, value, reg}); }
  constexpr void Read(uint16_t reg) { Append({kRegisterReadRequest, 1, reg}); }

  constexpr void SensorWrite(uint8_t reg, uint16_t value) {
    Write(kSensorAddressRegister, reg);
    Write(kSensorWriteLowRegister, static_cast<uint8_t>(value & 0xFF));
    Write(kSensorWriteHighRegister, static_cast<uint8_t>(value >> 8));
    Write(kSensorCommandRegister, kSensorCommandWrite);
    Read(kSensorStatusRegister);
  }

  constexpr void SensorRead(uint8_t reg) {
    Write(kSensorAddressRegister, reg);
    Write(kSensorCommandRegister, kSensorCommandRead);
    Read(kSensorStatusRegister);
    Read(kSensorReadLowRegister);
    Read(kSensorReadHighRegister);
  }

  // The terminated table, ready for RunRegisterTable.
  constexpr const RegisterEntry* Table() const { return entries.data(); }

 private:
  constexpr void Append(RegisterEntry entry) {
    if (count == Capacity) throw "register sequence overflow";
    entries[count++] = entry;
  }
};
