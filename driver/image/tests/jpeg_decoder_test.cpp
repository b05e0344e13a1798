#include "image/jpeg_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "image/jpeg_header.h"
#include "test_images.h"

namespace {

struct DecoderDeleter {
  void operator()(JpegDecoder* d) const { DestroyDecoder(d); }
};
using DecoderPtr = std::unique_ptr<JpegDecoder, DecoderDeleter>;

DecoderPtr MakeDecoder(std::uint32_t width = 320, std::uint32_t height = 240) {
  return DecoderPtr(CreateDecoder(width, height));
}

std::int32_t Decode(JpegDecoder* decoder, const Bytes& image, DecodedImage& result) {
  const JpegInput input{image.data(), static_cast<std::uint32_t>(image.size())};
  return DecodeImage(decoder, &input, &result);
}

// Every visible sample of the three planes equals libavcodec's decode of the
// reference file.
void ExpectPlanesEqual(const DecodedImage& result, const ReferencePlanes& reference) {
  ASSERT_EQ(result.width, static_cast<std::uint32_t>(reference.width));
  ASSERT_EQ(result.height, static_cast<std::uint32_t>(reference.height));
  const std::uint8_t* planes[3] = {result.yPlane, result.cbPlane, result.crPlane};
  const std::uint32_t strides[3] = {result.yStride, result.cbStride, result.crStride};
  for (int plane = 0; plane < 3; ++plane) {
    ASSERT_FALSE(reference.rows[plane].empty());
    for (std::size_t y = 0; y < reference.rows[plane].size(); ++y) {
      const Bytes& expected = reference.rows[plane][y];
      const std::uint8_t* row = planes[plane] + y * strides[plane];
      ASSERT_EQ(Bytes(row, row + expected.size()), expected) << "plane " << plane << " row " << y;
    }
  }
}

void ExpectLayout(const DecodedImage& r, std::uint32_t width, std::uint32_t height, std::uint32_t mode,
                  std::uint32_t bits, std::uint32_t size, std::uint32_t crOffset, std::uint32_t chromaStride) {
  EXPECT_EQ(r.width, width);
  EXPECT_EQ(r.height, height);
  EXPECT_EQ(r.mode, mode);
  EXPECT_EQ(r.bitsPerPixel, bits);
  EXPECT_EQ(r.size, size);
  EXPECT_EQ(r.yStride, width);
  EXPECT_EQ(r.cbPlane - r.yPlane, static_cast<std::ptrdiff_t>(width) * height);
  EXPECT_EQ(r.crPlane - r.yPlane, static_cast<std::ptrdiff_t>(crOffset));
  EXPECT_EQ(r.cbStride, chromaStride);
  EXPECT_EQ(r.crStride, chromaStride);
}

TEST(DecodeImage, CameraFrameAt320x240IsMode1WithPackedPlanes) {
  const Bytes file = EncodeJpeg({.width = 320, .height = 240, .sampling = k422});
  const Bytes image = CameraImageFrom(file, 320, 240);
  auto decoder = MakeDecoder();
  DecodedImage result{};
  ASSERT_EQ(Decode(decoder.get(), image, result), 153600);
  ExpectLayout(result, 320, 240, kSamplingMode422, 16, 153600, 115200, 160);
  ExpectPlanesEqual(result, DecodeWithLibav(file));
}

TEST(DecodeImage, CameraFrameAt640x480WithPatchedHeader) {
  const Bytes file = EncodeJpeg({.width = 640, .height = 480, .sampling = k422, .seed = 7});
  const Bytes image = CameraImageFrom(file, 640, 480);
  auto decoder = MakeDecoder();
  DecodedImage result{};
  ASSERT_EQ(Decode(decoder.get(), image, result), 614400);
  ExpectLayout(result, 640, 480, kSamplingMode422, 16, 614400, 460800, 320);
  ExpectPlanesEqual(result, DecodeWithLibav(file));
}

TEST(DecodeImage, AcceptedSamplingCombinationsGiveTheirModes) {
  struct Case {
    const char* name;
    SamplingFactors sampling;
    std::uint32_t mode, bits, size, crOffset, chromaStride;
  } cases[] = {
      {"2x2 1x1 1x1", k420, kSamplingMode420, 12, 115200, 96000, 160},
      {"2x1 1x1 1x1", k422, kSamplingMode422, 16, 153600, 115200, 160},
      {"2x2 1x2 1x2", k422Tall, kSamplingMode422, 16, 153600, 115200, 160},
      {"1x1 1x1 1x1", k444, kSamplingMode444, 24, 230400, 153600, 320},
  };
  auto decoder = MakeDecoder();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = EncodeJpeg({.sampling = c.sampling});
    DecodedImage result{};
    ASSERT_EQ(Decode(decoder.get(), file, result), static_cast<std::int32_t>(c.size));
    ExpectLayout(result, 320, 240, c.mode, c.bits, c.size, c.crOffset, c.chromaStride);
    ExpectPlanesEqual(result, DecodeWithLibav(file));
  }
}

// libjpeg refuses 2x2 chroma factors (more than ten blocks per MCU), so this
// image is a 1x1 one whose frame header claims 2x2 everywhere: the blocks are
// the same in number, only their order changes.
TEST(DecodeImage, AllTwoByTwoSamplingIsMode2) {
  Bytes file = EncodeJpeg({.width = 64, .height = 32, .sampling = k444});
  const std::size_t sof = MarkerOffset(file, 0xC0);
  file[sof + 11] = file[sof + 14] = file[sof + 17] = 0x22;
  auto decoder = MakeDecoder();
  DecodedImage result{};
  ASSERT_EQ(Decode(decoder.get(), file, result), 64 * 32 * 3);
  ExpectLayout(result, 64, 32, kSamplingMode444, 24, 64 * 32 * 3, 2 * 64 * 32, 64);
}

TEST(DecodeImage, RefusesOtherComponentCountsSamplingsPrecisionsAndProcesses) {
  auto decoder = MakeDecoder();
  DecodedImage result{};
  EXPECT_EQ(Decode(decoder.get(), EncodeJpeg({.components = 1, .sampling = k444}), result), -1) << "greyscale";
  EXPECT_EQ(Decode(decoder.get(), EncodeJpeg({.sampling = k411}), result), -1) << "4:1:1";
  EXPECT_EQ(Decode(decoder.get(), EncodeJpeg({.progressive = true}), result), -1) << "progressive";

  Bytes twelveBit = EncodeJpeg({});
  twelveBit[MarkerOffset(twelveBit, 0xC0) + 4] = 12;
  EXPECT_EQ(Decode(decoder.get(), twelveBit, result), -1) << "12-bit precision";

  Bytes fourComponents = EncodeJpeg({});
  fourComponents[MarkerOffset(fourComponents, 0xC0) + 9] = 4;
  EXPECT_EQ(Decode(decoder.get(), fourComponents, result), -1) << "component count";

  // Still usable: the next good image decodes exactly.
  const Bytes good = EncodeJpeg({.seed = 3});
  ASSERT_EQ(Decode(decoder.get(), good, result), 153600);
  ExpectPlanesEqual(result, DecodeWithLibav(good));
}

TEST(DecodeImage, MissingArgumentsAndEmptyInputFailWithoutTouchingTheDecoder) {
  auto decoder = MakeDecoder();
  const Bytes image = CameraImageFrom(EncodeJpeg({}), 320, 240);
  DecodedImage first{};
  ASSERT_EQ(Decode(decoder.get(), image, first), 153600);

  DecodedImage result{};
  const JpegInput empty{image.data(), 0};
  const JpegInput nullData{nullptr, 100};
  const JpegInput good{image.data(), static_cast<std::uint32_t>(image.size())};
  EXPECT_EQ(DecodeImage(decoder.get(), &empty, &result), -1);
  EXPECT_EQ(DecodeImage(decoder.get(), &nullData, &result), -1);
  EXPECT_EQ(DecodeImage(decoder.get(), nullptr, &result), -1);
  EXPECT_EQ(DecodeImage(decoder.get(), &good, nullptr), -1);
  EXPECT_EQ(DecodeImage(nullptr, &good, &result), -1);

  // The planes of the last decode are still those of the image.
  DecodedImage again{};
  ASSERT_EQ(Decode(decoder.get(), image, again), 153600);
  EXPECT_EQ(again.yPlane, first.yPlane);
  DestroyDecoder(nullptr);  // ignored
}

TEST(DecodeImage, GeometryChangesReplaceTheBufferAndEqualGeometryKeepsIt) {
  auto decoder = MakeDecoder(320, 240);
  const Bytes small = CameraImageFrom(EncodeJpeg({}), 320, 240);
  const Bytes large = CameraImageFrom(EncodeJpeg({.width = 640, .height = 480}), 640, 480);
  DecodedImage result{};

  ASSERT_EQ(Decode(decoder.get(), small, result), 153600);
  const std::uint8_t* firstBuffer = result.yPlane;
  ASSERT_EQ(Decode(decoder.get(), small, result), 153600);
  EXPECT_EQ(result.yPlane, firstBuffer) << "same geometry, same buffer";

  ASSERT_EQ(Decode(decoder.get(), large, result), 614400);
  EXPECT_EQ(result.width, 640u);
  EXPECT_EQ(result.height, 480u);
  EXPECT_EQ(result.crPlane - result.yPlane, 460800);

  const Bytes small420 = EncodeJpeg({.sampling = k420});
  ASSERT_EQ(Decode(decoder.get(), small420, result), 115200);
  ExpectLayout(result, 320, 240, kSamplingMode420, 12, 115200, 96000, 160);
  ExpectPlanesEqual(result, DecodeWithLibav(small420));
}

TEST(DecodeImage, BrokenImagesFailOrDecodeAndLeaveTheDecoderUsable) {
  auto decoder = MakeDecoder();
  const Bytes good = CameraImageFrom(EncodeJpeg({.seed = 5}), 320, 240);
  DecodedImage result{};

  Bytes truncatedHeader(good.begin(), good.begin() + 300);
  EXPECT_EQ(Decode(decoder.get(), truncatedHeader, result), -1);
  Bytes noScan(good.begin(), good.begin() + kJpegHeaderSize);
  EXPECT_EQ(Decode(decoder.get(), noScan, result), -1);
  Bytes notJpeg(good.begin() + 2, good.end());
  EXPECT_EQ(Decode(decoder.get(), notJpeg, result), -1);

  // A damaged or cut scan gives what the library makes of it, sample for sample.
  Bytes corrupt = good;
  for (std::size_t i = kJpegHeaderSize + 50; i < corrupt.size() - 2; i += 37) corrupt[i] ^= 0x5A;
  Bytes truncatedScan(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
  for (const Bytes* damaged : {&corrupt, &truncatedScan}) {
    auto fresh = MakeDecoder();
    ASSERT_EQ(Decode(fresh.get(), *damaged, result), 153600);
    ExpectPlanesEqual(result, DecodeWithLibav(*damaged));
  }
  EXPECT_GT(Decode(decoder.get(), corrupt, result), 0);

  // Up to 14 bytes after the end-of-image marker, as the camera sends them, are fine.
  Bytes trailing = good;
  trailing.insert(trailing.end(), 14, 0x33);
  EXPECT_EQ(Decode(decoder.get(), trailing, result), 153600);

  ASSERT_EQ(Decode(decoder.get(), good, result), 153600);
  const Bytes file = EncodeJpeg({.seed = 5});
  ExpectPlanesEqual(result, DecodeWithLibav(file));
}

// Images with the typical tables and images with tables of their own, in turns: every
// image decodes with its own tables, whatever the image before it held.
TEST(DecodeImage, TablesOfEachImageHoldWhateverTheImageBeforeHeld) {
  const Bytes ownTables = EncodeJpeg({.optimizeTables = true, .seed = 9});
  ASSERT_NE(Segments(ownTables, 0xC4), Segments(CameraImageFrom(ownTables, 320, 240), 0xC4));
  auto decoder = MakeDecoder();
  DecodedImage result{};
  for (unsigned seed : {1u, 2u}) {
    const Bytes camera = EncodeJpeg({.seed = seed});
    for (int repeat = 0; repeat < 2; ++repeat) {
      SCOPED_TRACE(testing::Message() << "camera image " << seed << ", decode " << repeat);
      ASSERT_EQ(Decode(decoder.get(), CameraImageFrom(camera, 320, 240), result), 153600);
      ExpectPlanesEqual(result, DecodeWithLibav(camera));
    }
    SCOPED_TRACE("image with its own tables");
    ASSERT_EQ(Decode(decoder.get(), ownTables, result), 153600);
    ExpectPlanesEqual(result, DecodeWithLibav(ownTables));
  }
}

// An image with the typical tables before its first scan and tables of its own between
// its scans leaves the latter in the library: the next camera image brings its tables.
TEST(DecodeImage, TablesBetweenScansCountAsTablesOfTheImage) {
  Bytes scans = EncodeJpeg({.optimizeTables = true, .scanPerComponent = true});
  const auto find = [&scans](std::uint8_t marker) {
    const Bytes pair = {0xFF, marker};
    return std::size_t(std::search(scans.begin(), scans.end(), pair.begin(), pair.end()) - scans.begin());
  };
  std::size_t scanCount = 0;
  for (std::size_t i = 0; i + 1 < scans.size(); ++i) scanCount += scans[i] == 0xFF && scans[i + 1] == 0xDA;
  ASSERT_EQ(scanCount, 3u);
  // The tables before the first scan give way to the typical ones.
  const std::size_t first = find(0xC4);
  ASSERT_LT(first, find(0xDA));
  for (std::size_t at = first; at < find(0xDA); at = find(0xC4)) {
    const std::size_t length = 2 + (std::size_t{scans[at + 2]} << 8 | scans[at + 3]);
    scans.erase(scans.begin() + std::ptrdiff_t(at), scans.begin() + std::ptrdiff_t(at + length));
  }
  ASSERT_LT(find(0xDA), find(0xC4)) << "tables between the scans";
  const Bytes camera = CameraImageFrom(EncodeJpeg({}), 320, 240);
  scans.insert(scans.begin() + std::ptrdiff_t(first), camera.begin() + 136, camera.begin() + 556);  // typical DHT

  auto decoder = MakeDecoder();
  DecodedImage result{};
  ASSERT_EQ(Decode(decoder.get(), camera, result), 153600);
  Decode(decoder.get(), scans, result);  // its first scan does not decode well with these tables
  ASSERT_EQ(Decode(decoder.get(), camera, result), 153600);
  ExpectPlanesEqual(result, DecodeWithLibav(camera));
}

// Sizes that are not whole MCUs, or whose rows are not 32-byte multiples,
// decode through the library's own buffer and are copied plane by plane.
TEST(DecodeImage, SizesOutsideTheDirectPathMatchTheLibrary) {
  struct Case {
    int width, height;
    SamplingFactors sampling;
  } cases[] = {{48, 16, k422}, {336, 248, k422}, {100, 75, k420}, {30, 18, k444}, {17, 9, k422}};
  auto decoder = MakeDecoder();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const Bytes file = EncodeJpeg({.width = c.width, .height = c.height, .sampling = c.sampling});
    DecodedImage result{};
    ASSERT_GT(Decode(decoder.get(), file, result), 0);
    // The packed planes hold width/2 chroma columns (and height/2 rows at
    // 4:2:0); the library's extra half-sample column or row is not kept.
    ReferencePlanes reference = DecodeWithLibav(file);
    for (int plane = 1; plane < 3; ++plane) {
      auto& rows = reference.rows[plane];
      if (result.mode == kSamplingMode420) rows.resize(result.height / 2);
      for (Bytes& row : rows) row.resize(result.mode == kSamplingMode444 ? result.width : result.width / 2);
    }
    ExpectPlanesEqual(result, reference);
  }
}

}  // namespace
