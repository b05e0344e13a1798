// Codec numbers of the recorder and the FourCC that names each one in the file.
#pragma once

#include <cstdint>

// FourCC packed as the file stores it: first character in the low byte.
constexpr uint32_t MakeFourCC(const char (&text)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

// FourCC of the first row with codecNumber, or 0 when there is none.
uint32_t CodecTagTableLookup(int codecNumber);
