#include "image/jpeg_header.h"

#include <gtest/gtest.h>

#include <map>

#include "test_images.h"

namespace {

Bytes Slice(std::size_t offset, std::size_t length) {
  return Bytes(JpegHeaderTemplate.begin() + static_cast<std::ptrdiff_t>(offset),
               JpegHeaderTemplate.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

TEST(JpegHeaderTemplate, SegmentsSitAtTheirOffsetsWithTheirLengths) {
  EXPECT_EQ(Slice(0, 2), (Bytes{0xFF, 0xD8}));
  EXPECT_EQ(Slice(2, 4), (Bytes{0xFF, 0xDB, 0x00, 0x84}));
  EXPECT_EQ(JpegHeaderTemplate[6], 0x00);   // table 0, 8-bit values
  EXPECT_EQ(JpegHeaderTemplate[71], 0x01);  // table 1
  EXPECT_EQ(Slice(136, 4), (Bytes{0xFF, 0xC4, 0x01, 0xA2}));
  EXPECT_EQ(JpegHeaderTemplate[140], 0x00);                                               // DC luminance
  EXPECT_EQ(JpegHeaderTemplate[140 + 17 + 12], 0x01);                                     // DC chrominance
  EXPECT_EQ(JpegHeaderTemplate[140 + 2 * (17 + 12)], 0x10);                               // AC luminance
  EXPECT_EQ(JpegHeaderTemplate[140 + 2 * (17 + 12) + 17 + 162], 0x11);                    // AC chrominance
  EXPECT_EQ(Slice(556, 19), (Bytes{0xFF, 0xC0, 0x00, 0x11, 8, 0x00, 0xF0, 0x01, 0x40, 3,  //
                                   1, 0x21, 0, 2, 0x11, 1, 3, 0x11, 1}));
  EXPECT_EQ(Slice(575, 14), (Bytes{0xFF, 0xDA, 0x00, 0x0C, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
}

TEST(JpegHeaderTemplate, FrameSizeFieldsAreWhereTheDriverPatchesThem) {
  EXPECT_EQ(kJpegHeightOffset, 561u);
  EXPECT_EQ(kJpegWidthOffset, 563u);
  auto header = JpegHeaderTemplate;
  PatchJpegFrameSize(header.data(), 640, 480);
  EXPECT_EQ(Bytes(header.begin() + 561, header.begin() + 565), (Bytes{0x01, 0xE0, 0x02, 0x80}));
  for (std::size_t i = 0; i < header.size(); ++i)
    if (i < 561 || i > 564) {
      ASSERT_EQ(header[i], JpegHeaderTemplate[i]) << "byte " << i;
    }
}

// Splits DQT or DHT payloads into their tables, keyed by the table's class and
// identifier byte.
std::map<std::uint8_t, Bytes> SplitTables(const std::vector<Bytes>& payloads, bool huffman) {
  std::map<std::uint8_t, Bytes> tables;
  for (const Bytes& payload : payloads) {
    for (std::size_t at = 0; at < payload.size();) {
      std::size_t length = 65;
      if (huffman) {
        length = 17;
        for (std::size_t i = 1; i <= 16; ++i) length += payload.at(at + i);
      }
      tables[payload[at]] = Bytes(payload.begin() + static_cast<std::ptrdiff_t>(at),
                                  payload.begin() + static_cast<std::ptrdiff_t>(at + length));
      at += length;
    }
  }
  return tables;
}

// libjpeg-turbo at quality 50 writes the standard's tables unscaled, in zig-zag
// order, and the typical Huffman tables: an independent copy to compare with.
TEST(JpegHeaderTemplate, TablesEqualLibjpegTurbosQuality50Tables) {
  const Bytes reference = EncodeJpeg({});
  const Bytes header(JpegHeaderTemplate.begin(), JpegHeaderTemplate.end());
  const auto ourQuant = SplitTables(Segments(header, 0xDB), false);
  const auto ourHuffman = SplitTables(Segments(header, 0xC4), true);
  EXPECT_EQ(ourQuant.size(), 2u);
  EXPECT_EQ(ourHuffman.size(), 4u);
  EXPECT_EQ(ourQuant, SplitTables(Segments(reference, 0xDB), false));
  EXPECT_EQ(ourHuffman, SplitTables(Segments(reference, 0xC4), true));
  EXPECT_EQ(Segments(reference, 0xC0).at(0), Slice(560, 15));
  EXPECT_EQ(Segments(reference, 0xDA).at(0), Slice(579, 10));
}

TEST(JpegHeaderTemplate, QuantisationTablesAreInZigZagOrder) {
  // K.1 row 0 is 16 11 10 16 ...; zig-zag order starts (0,0) (0,1) (1,0) (2,0) (1,1).
  EXPECT_EQ(Slice(7, 6), (Bytes{16, 11, 12, 14, 12, 10}));
  EXPECT_EQ(JpegHeaderTemplate[7 + 63], 99);  // K.1 bottom right
  EXPECT_EQ(Slice(72, 6), (Bytes{17, 18, 18, 24, 21, 24}));
}

}  // namespace
