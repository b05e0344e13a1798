#include "emucam/request_log.h"

#include <cstdio>

namespace emucam {
namespace {

bool IsWrite(const USB_DEVICE_REQUEST& s) { return s.bmRequestType == 0x40 && s.bRequest == kRegisterWrite; }
bool IsRead(const USB_DEVICE_REQUEST& s) {
  return s.bmRequestType == 0xC0 && s.bRequest == kRegisterRead && s.wValue == 1 && s.wLength == 1;
}
bool IsWriteOf(const USB_DEVICE_REQUEST& s, uint16_t reg) { return IsWrite(s) && s.wIndex == reg; }
bool IsWriteOf(const USB_DEVICE_REQUEST& s, uint16_t reg, uint16_t value) {
  return IsWriteOf(s, reg) && s.wValue == value;
}
bool IsReadOf(const USB_DEVICE_REQUEST& s, uint16_t reg) { return IsRead(s) && s.wIndex == reg; }

// "Saa=hhll" for 092=aa 093=ll 094=hh 090=01 091?, "Saa?" for 092=aa 090=02 091? 095? 096?;
// returns the number of requests folded, 0 when none match at `i`.
size_t FoldSensorAccess(const std::vector<LoggedRequest>& log, size_t i, std::string& out) {
  auto at = [&](size_t k) -> const USB_DEVICE_REQUEST* { return i + k < log.size() ? &log[i + k].setup : nullptr; };
  const USB_DEVICE_REQUEST* address = at(0);
  if (address == nullptr || !IsWriteOf(*address, 0x092)) return 0;
  char text[16];
  const auto *a1 = at(1), *a2 = at(2), *a3 = at(3), *a4 = at(4);
  if (a1 && a2 && a3 && a4 && IsWriteOf(*a1, 0x093) && IsWriteOf(*a2, 0x094) && IsWriteOf(*a3, 0x090, 0x01) &&
      IsReadOf(*a4, 0x091)) {
    std::snprintf(text, sizeof text, "S%02X=%02X%02X", address->wValue & 0xFF, a2->wValue & 0xFF, a1->wValue & 0xFF);
    out = text;
    return 5;
  }
  if (a1 && a2 && a3 && a4 && IsWriteOf(*a1, 0x090, 0x02) && IsReadOf(*a2, 0x091) && IsReadOf(*a3, 0x095) &&
      IsReadOf(*a4, 0x096)) {
    std::snprintf(text, sizeof text, "S%02X?", address->wValue & 0xFF);
    out = text;
    return 5;
  }
  return 0;
}

}  // namespace

std::string FormatRequest(const USB_DEVICE_REQUEST& s) {
  char text[32];
  if (IsWrite(s) && s.wValue <= 0xFF && s.wLength == 0) {
    std::snprintf(text, sizeof text, "%03X=%02X", s.wIndex, s.wValue);
  } else if (IsRead(s)) {
    std::snprintf(text, sizeof text, "%03X?", s.wIndex);
  } else if (s.bmRequestType == 0x01 && s.bRequest == kSetInterface && s.wIndex == 0) {
    std::snprintf(text, sizeof text, "alt=%u", s.wValue);
  } else {
    std::snprintf(text, sizeof text, "%02X:%02X:%04X:%04X:%04X", s.bmRequestType, s.bRequest, s.wValue, s.wIndex,
                  s.wLength);
  }
  return text;
}

std::string FormatRequests(const std::vector<LoggedRequest>& log, bool foldSensorAccess) {
  std::string joined;
  std::string item;
  for (size_t i = 0; i < log.size();) {
    size_t used = foldSensorAccess ? FoldSensorAccess(log, i, item) : 0;
    if (used == 0) {
      item = FormatRequest(log[i].setup);
      used = 1;
    }
    if (!joined.empty()) joined += ' ';
    joined += item;
    i += used;
  }
  return joined;
}

}  // namespace emucam
