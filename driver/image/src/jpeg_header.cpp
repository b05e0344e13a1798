#include "image/jpeg_header.h"

#include "jpeg_tables.h"

namespace {

using Header = std::array<std::uint8_t, kJpegHeaderSize>;

// Appends bytes to the header being assembled at compile time.
struct HeaderWriter {
  Header bytes{};
  std::size_t at = 0;

  constexpr void Put(std::uint8_t value) { bytes[at++] = value; }
  constexpr void Put16(std::uint16_t value) {
    Put(static_cast<std::uint8_t>(value >> 8));
    Put(static_cast<std::uint8_t>(value & 0xFF));
  }
  constexpr void Marker(std::uint8_t code, std::uint16_t length) {
    Put(0xFF);
    Put(code);
    Put16(length);
  }
  constexpr void QuantTable(std::uint8_t id, const std::array<std::uint8_t, 64>& natural) {
    Put(id);  // precision 0 (8-bit values) in the high nibble
    for (std::uint8_t index : jpeg_tables::kZigZagToNatural) Put(natural[index]);
  }
  template <std::size_t N>
  constexpr void HuffmanTable(std::uint8_t classAndId, const jpeg_tables::HuffmanTable<N>& table) {
    Put(classAndId);
    for (std::uint8_t count : table.counts) Put(count);
    for (std::uint8_t value : table.values) Put(value);
  }
  constexpr void Component(std::uint8_t id, std::uint8_t selectors) {
    Put(id);
    Put(selectors);
  }
};

constexpr HeaderWriter AssembleHeader() {
  using namespace jpeg_tables;
  HeaderWriter w;
  w.Put(0xFF);
  w.Put(0xD8);  // SOI

  w.Marker(0xDB, 2 + 2 * 65);
  w.QuantTable(0x00, kLuminanceQuant);
  w.QuantTable(0x01, kChrominanceQuant);

  w.Marker(0xC4, 2 + 4 * 17 + 12 + 12 + 162 + 162);
  w.HuffmanTable(0x00, kDcLuminance);
  w.HuffmanTable(0x01, kDcChrominance);
  w.HuffmanTable(0x10, kAcLuminance);
  w.HuffmanTable(0x11, kAcChrominance);

  w.Marker(0xC0, 8 + 3 * 3);  // SOF0
  w.Put(8);                   // sample precision
  w.Put16(240);
  w.Put16(320);
  w.Put(3);
  for (auto [id, sampling, quant] : {std::array<std::uint8_t, 3>{1, 0x21, 0}, {2, 0x11, 1}, {3, 0x11, 1}}) {
    w.Component(id, sampling);
    w.Put(quant);
  }

  w.Marker(0xDA, 6 + 3 * 2);  // SOS
  w.Put(3);
  w.Component(1, 0x00);
  w.Component(2, 0x11);
  w.Component(3, 0x11);
  w.Put(0);   // spectral selection start
  w.Put(63);  // spectral selection end
  w.Put(0);   // successive approximation

  return w;
}

}  // namespace

constexpr HeaderWriter kAssembled = AssembleHeader();
static_assert(kAssembled.at == kJpegHeaderSize, "every byte of the header is written");

const Header JpegHeaderTemplate = kAssembled.bytes;

void PatchJpegFrameSize(std::uint8_t* header, std::uint16_t width, std::uint16_t height) {
  header[kJpegHeightOffset] = static_cast<std::uint8_t>(height >> 8);
  header[kJpegHeightOffset + 1] = static_cast<std::uint8_t>(height & 0xFF);
  header[kJpegWidthOffset] = static_cast<std::uint8_t>(width >> 8);
  header[kJpegWidthOffset + 1] = static_cast<std::uint8_t>(width & 0xFF);
}
