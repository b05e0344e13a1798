// Splitting a stream of JPEG images sent back to back, however the bytes arrive.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <random>
#include <vector>

#include "stream_protocol/jpeg_image_size.h"
#include "stream_protocol/jpeg_stream_splitter.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A real JPEG image from libjpeg-turbo: a gradient of the given size.
Bytes EncodeImage(int width, int height, int seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width * height * 3));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(seed) * 31);
  tjhandle encoder = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  tjCompress2(encoder, pixels.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_422, 75, 0);
  Bytes image(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(encoder);
  return image;
}

// A minimal image whose segments and scan hold bytes that look like markers: an end
// marker inside a comment, stuffed 0xFF 0x00 and a restart marker in the scan.
Bytes TrickyImage() {
  return {0xFF, 0xD8,                                                           // SOI
          0xFF, 0xFE, 0x00, 0x06, 0xFF, 0xD9, 0xFF, 0xD8,                       // COM holding FF D9 FF D8
          0xFF, 0xC0, 0x00, 0x0B, 8,    0x00, 0x10, 0x00, 0x20, 1, 1, 0x11, 0,  // SOF0 32 x 16
          0xFF, 0xDA, 0x00, 0x08, 1,    1,    0,    0,    63,   0,              // SOS
          0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56,                             // scan: stuffed byte, RST0
          0xFF, 0xD9};                                                          // EOI
}

std::vector<Bytes> Split(const Bytes& stream, const std::vector<size_t>& pieceSizes, JpegStreamSplitter& splitter) {
  std::vector<Bytes> images;
  size_t offset = 0;
  size_t piece = 0;
  while (offset < stream.size()) {
    const size_t length = std::min(pieceSizes[piece++ % pieceSizes.size()], stream.size() - offset);
    splitter.Feed(std::span(stream.data() + offset, length),
                  [&](std::span<const uint8_t> image) { images.emplace_back(image.begin(), image.end()); });
    offset += length;
  }
  return images;
}

std::vector<Bytes> Split(const Bytes& stream, const std::vector<size_t>& pieceSizes) {
  JpegStreamSplitter splitter;
  return Split(stream, pieceSizes, splitter);
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

}  // namespace

TEST(JpegStreamSplitter, ReturnsImagesBackToBackWithPaddingBetween) {
  const Bytes first = EncodeImage(64, 48, 1);
  const Bytes second = EncodeImage(32, 16, 2);
  const Bytes padding(14, 0x00);
  const Bytes stream = Join({first, padding, second, padding, first});

  for (const auto& pieces : std::vector<std::vector<size_t>>{{stream.size()}, {1}, {1400}, {3, 1, 7, 500}}) {
    JpegStreamSplitter splitter;
    const std::vector<Bytes> images = Split(stream, pieces, splitter);
    ASSERT_EQ(images.size(), 3u) << "first piece size " << pieces[0];
    EXPECT_EQ(images[0], first);
    EXPECT_EQ(images[1], second);
    EXPECT_EQ(images[2], first);
    EXPECT_EQ(splitter.DiscardedBytes(), 28u);
  }
}

TEST(JpegStreamSplitter, MarkerLookalikesInsideSegmentsAndScanDoNotCutTheImage) {
  const Bytes image = TrickyImage();
  const std::vector<Bytes> images = Split(Join({image, image}), {1});
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0], image);
  EXPECT_EQ(images[1], image);
}

TEST(JpegStreamSplitter, SkipsGarbageBeforeAnImage) {
  const Bytes image = EncodeImage(16, 16, 3);
  const Bytes garbage = {0x00, 0xFF, 0xFF, 0xD9, 0x12, 0xFF};
  JpegStreamSplitter splitter;
  const std::vector<Bytes> images = Split(Join({garbage, image}), {2}, splitter);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0], image);
  EXPECT_EQ(splitter.DiscardedBytes(), garbage.size());
}

TEST(JpegStreamSplitter, ImageBrokenOffInItsScanByANewStartIsDropped) {
  const Bytes whole = EncodeImage(64, 48, 4);
  const Bytes broken(whole.begin(), whole.end() - 100);
  JpegStreamSplitter splitter;
  const std::vector<Bytes> images = Split(Join({broken, whole}), {100}, splitter);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0], whole);
  EXPECT_EQ(splitter.DiscardedBytes(), broken.size());
}

TEST(JpegStreamSplitter, ImageBrokenOffInItsHeaderCostsAtMostTheNextImage) {
  const Bytes whole = EncodeImage(64, 48, 8);
  const Bytes broken(whole.begin(), whole.begin() + 40);
  const std::vector<Bytes> images = Split(Join({broken, whole, whole, whole}), {333});
  ASSERT_GE(images.size(), 2u);
  for (const Bytes& image : images) EXPECT_EQ(image, whole);
}

TEST(JpegStreamSplitter, ThumbnailInsideAnApplicationSegmentStaysInsideItsImage) {
  const Bytes thumbnail = EncodeImage(8, 8, 9);
  const Bytes main = EncodeImage(32, 32, 10);
  const size_t segmentLength = thumbnail.size() + 2;
  Bytes withThumbnail = {
      0xFF, 0xD8, 0xFF, 0xE1, static_cast<uint8_t>(segmentLength >> 8), static_cast<uint8_t>(segmentLength & 0xFF)};
  withThumbnail.insert(withThumbnail.end(), thumbnail.begin(), thumbnail.end());
  withThumbnail.insert(withThumbnail.end(), main.begin() + 2, main.end());
  const std::vector<Bytes> images = Split(Join({withThumbnail, main}), {50});
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0], withThumbnail);
  EXPECT_EQ(images[1], main);
}

TEST(JpegStreamSplitter, ImageThatNeverEndsIsDroppedAtTheLimit) {
  Bytes endless = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02};
  endless.resize(JpegStreamSplitter::kMaxImageBytes + 1000, 0x55);
  const Bytes image = EncodeImage(16, 16, 5);
  JpegStreamSplitter splitter;
  const std::vector<Bytes> images = Split(Join({endless, image}), {65536}, splitter);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0], image);
  EXPECT_GE(splitter.DiscardedBytes(), JpegStreamSplitter::kMaxImageBytes);
}

TEST(JpegStreamSplitter, RandomBytesNeverYieldAnImageWithoutBothMarkers) {
  std::mt19937 random(42);
  Bytes noise(200000);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
  for (const Bytes& image : Split(noise, {997})) {
    ASSERT_GE(image.size(), 4u);
    EXPECT_EQ(image[0], 0xFF);
    EXPECT_EQ(image[1], 0xD8);
    EXPECT_EQ(image[image.size() - 2], 0xFF);
    EXPECT_EQ(image[image.size() - 1], 0xD9);
  }
}

TEST(JpegImageSize, ReadsTheFrameHeader) {
  const auto size = JpegImageSize(EncodeImage(64, 48, 6));
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->width, 64);
  EXPECT_EQ(size->height, 48);
  const auto tricky = JpegImageSize(TrickyImage());
  ASSERT_TRUE(tricky.has_value());
  EXPECT_EQ(tricky->width, 32);
  EXPECT_EQ(tricky->height, 16);
}

TEST(JpegImageSize, NothingForTruncatedOrForeignData) {
  const Bytes image = EncodeImage(64, 48, 7);
  EXPECT_FALSE(JpegImageSize(std::span(image.data(), 20)).has_value());
  EXPECT_FALSE(JpegImageSize(Bytes{0x89, 0x50, 0x4E, 0x47, 0, 0}).has_value());
  EXPECT_FALSE(JpegImageSize(Bytes{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x01}).has_value());
}
