// Baseline JPEG encoding of 4:2:2 planes with the camera's fixed tables: the unscaled
// luminance and chrominance quantisation tables of T.81 Annex K, the typical Huffman
// tables, sampling 2x1/1x1/1x1, no restart markers. Only the entropy-coded scan is
// kept: the receiver supplies the header.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "emucam/planar_image.h"

namespace emucam {

class ScanEncoder {
 public:
  ScanEncoder();
  ~ScanEncoder();
  ScanEncoder(const ScanEncoder&) = delete;
  ScanEncoder& operator=(const ScanEncoder&) = delete;

  // Encodes `image` (width a multiple of 16, height of 8). The complete JPEG image
  // stays in a buffer that is reused by the next call.
  void Encode(const PlanarImage& image);

  // The whole image of the last Encode, SOI to EOI, with the encoder's own headers.
  std::span<const uint8_t> Image() const { return {output_.data(), imageLength_}; }
  // The entropy-coded data of the last Encode, from after the SOS segment up to (not
  // including) the end-of-image marker.
  std::span<const uint8_t> Scan() const { return {output_.data() + scanOffset_, scanLength_}; }

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
  std::vector<uint8_t> output_;
  size_t imageLength_ = 0;
  size_t scanOffset_ = 0;
  size_t scanLength_ = 0;
};

}  // namespace emucam
