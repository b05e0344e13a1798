// Every setup packet the emulated camera received, in order, so that tests can compare
// whole request sequences with the register notation of the start-up tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "usbhost/usbdi.h"

namespace emucam {

enum class RequestOutcome {
  Answered,
  Stalled,
  Ignored,       // the camera had stopped answering: no completion
  Disconnected,  // arrived after the unplug
};

struct LoggedRequest {
  // Alternate-setting selections appear as the standard SET_INTERFACE packet
  // (bmRequestType 0x01, bRequest 0x0B, wValue setting, wIndex interface).
  USB_DEVICE_REQUEST setup;
  RequestOutcome outcome;
  // When the camera received it: microseconds of the steady clock since the camera was
  // made, so that tests can measure the driver's pauses and time-outs between requests.
  int64_t atUs = 0;
};

inline constexpr uint8_t kRegisterWrite = 0xA0;
inline constexpr uint8_t kRegisterRead = 0xA1;
inline constexpr uint8_t kSetInterface = 0x0B;

// One request in the tables' notation: "rrr=vv" for a register write, "rrr?" for a
// read, "alt=N" for a selection of setting N, and "bm:bb:vvvv:iiii:llll" otherwise.
std::string FormatRequest(const USB_DEVICE_REQUEST& setup);

// The whole log joined by spaces. With `foldSensorAccess`, the five-request sequences
// of the sensor window become "Saa=hhll" and "Saa?".
std::string FormatRequests(const std::vector<LoggedRequest>& log, bool foldSensorAccess = false);

}  // namespace emucam
