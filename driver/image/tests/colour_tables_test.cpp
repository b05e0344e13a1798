#include "colour_tables.h"

#include <gtest/gtest.h>

namespace {

using colour::DitherTable;

TEST(DitherTable, TellingWords) {
  EXPECT_EQ(DitherTable[0], 0x7FFFFFEDu);   // Y = 0: blue only, negative
  EXPECT_EQ(DitherTable[16], 0x80000000u);  // Y = 16: the bias alone
  EXPECT_EQ(DitherTable[17], 0x80400801u);
  EXPECT_EQ(DitherTable[256 + 0], 0x0C400103u);  // Cb = 0
  EXPECT_EQ(DitherTable[256 + 128], 0x00000200u);
  EXPECT_EQ(DitherTable[512 + 0], 0x1A09A000u);  // Cr = 0
  EXPECT_EQ(DitherTable[512 + 128], 0x00100000u);
  EXPECT_EQ(DitherTable[512 + 255], 0xE6365800u);
}

TEST(DitherTable, LumaAbove239CountsAs239AndBelow16OnlyBlueCarriesIt) {
  for (int y = 239; y <= 255; ++y) EXPECT_EQ(DitherTable[y], 0xC0E82104u) << y;
  for (int y = 0; y < 16; ++y) {
    const std::uint32_t withoutBlue =
        DitherTable[y] - colour::kLumaBias - static_cast<std::uint32_t>(colour::NearestThousandths(1164, y - 16));
    EXPECT_EQ(withoutBlue, 0u) << y;
  }
}

TEST(DitherTable, NearestRoundsHalvesUpAlsoForNegativeDifferences) {
  EXPECT_EQ(colour::NearestThousandths(1164, 125), 146);  // 145.5 exactly
  EXPECT_EQ(colour::NearestThousandths(1164, -16), -19);  // -18.624
  EXPECT_EQ(colour::NearestThousandths(-766, 128), -98);  // -98.048
  EXPECT_EQ(colour::NearestThousandths(1596, -1), -2);    // -1.596
  EXPECT_EQ(colour::NearestThousandths(1000, -1), -1);
  EXPECT_EQ(colour::NearestThousandths(500, -1), 0);  // -0.5 rounds up
}

TEST(DitherTable, DitherWordsCarryTheOffsetInEveryField) {
  EXPECT_EQ(colour::DitherWord(2), 0x00801002u);
  EXPECT_EQ(colour::DitherWord(4), 0x01002004u);
  EXPECT_EQ(colour::DitherWord(6), 0x01803006u);
}

TEST(LumaTable, ValuesAroundTheStudioRangeEdges) {
  EXPECT_EQ(colour::LumaValue(235), 254);  // the rounding term is minus one half
  EXPECT_EQ(colour::LumaValue(236), 255);
  EXPECT_EQ(colour::LumaValue(17), 0);
  EXPECT_EQ(colour::LumaValue(18), 1);
  EXPECT_EQ(colour::LumaValue(128), 129);
  EXPECT_EQ(colour::LumaValue(-384), 0);
  EXPECT_EQ(colour::LumaValue(639), 255);
}

TEST(ChromaOffsets, RoundToNearestSymmetricallyAndSpanTheirRanges) {
  EXPECT_EQ(colour::RedOffset(128), 0);
  EXPECT_EQ(colour::RedOffset(0), -175);
  EXPECT_EQ(colour::RedOffset(255), 174);
  EXPECT_EQ(colour::GreenOffsetOfCb(0) + colour::GreenOffsetOfCr(0), 132);
  EXPECT_EQ(colour::GreenOffsetOfCb(255) + colour::GreenOffsetOfCr(255), -132);
  EXPECT_EQ(colour::BlueOffset(0), -222);
  EXPECT_EQ(colour::BlueOffset(255), 220);
  for (int v = 1; v < 128; ++v) EXPECT_EQ(colour::RedOffset(128 + v), -colour::RedOffset(128 - v)) << v;
}

}  // namespace
