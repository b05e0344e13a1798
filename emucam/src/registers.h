// Register numbers of the camera controller that the emulation gives a meaning.
#pragma once

#include <cstdint>

namespace emucam::reg {

inline constexpr uint16_t kCount = 0x400;

inline constexpr uint16_t kReset = 0x000;  // writing bit 0 resets the controller
inline constexpr uint16_t kSize = 0x002;   // bit 4: 320 x 240, clear: 640 x 480
inline constexpr uint16_t kIdLow = 0x00A;  // controller identifier, read only
inline constexpr uint16_t kIdHigh = 0x00B;
inline constexpr uint16_t kSelection = 0x010;  // which sensor interface the window uses
inline constexpr uint16_t kBank8B = 0x08B;
inline constexpr uint16_t kBank8D = 0x08D;

// Sensor register window.
inline constexpr uint16_t kSensorCommand = 0x090;
inline constexpr uint16_t kSensorStatus = 0x091;
inline constexpr uint16_t kSensorAddress = 0x092;
inline constexpr uint16_t kSensorWriteLow = 0x093;
inline constexpr uint16_t kSensorWriteHigh = 0x094;
inline constexpr uint16_t kSensorReadLow = 0x095;
inline constexpr uint16_t kSensorReadHigh = 0x096;

inline constexpr uint16_t kExposureMode = 0x180;  // 0x02 without 0x40: manual exposure

// Auxiliary byte window.
inline constexpr uint16_t kAuxCommand = 0x301;
inline constexpr uint16_t kAuxStatus = 0x302;
inline constexpr uint16_t kAuxAddress = 0x303;
inline constexpr uint16_t kAuxAddressHigh = 0x304;
inline constexpr uint16_t kAuxWriteByte = 0x305;
inline constexpr uint16_t kAuxReadByte = 0x306;

inline constexpr uint8_t kCommandWrite = 0x01;
inline constexpr uint8_t kCommandRead = 0x02;
inline constexpr uint8_t kStatusDone = 0x00;
inline constexpr uint8_t kStatusNoAcknowledge = 0x04;  // no sensor answered, or unknown command

inline constexpr uint8_t kSizeSmall = 0x10;

// Sensor register holding the manual exposure time (0 to 2000; 1000 is nominal).
inline constexpr uint8_t kSensorExposure = 0x09;

}  // namespace emucam::reg
