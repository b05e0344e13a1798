// Test images: JPEG files made with libjpeg-turbo, camera-style frames made
// from them with the constant header, and libavcodec's own decode of a file
// as the reference planes.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

struct SamplingFactors {
  int horizontal[3];
  int vertical[3];
};

inline constexpr SamplingFactors k420{{2, 1, 1}, {2, 1, 1}};
inline constexpr SamplingFactors k422{{2, 1, 1}, {1, 1, 1}};
inline constexpr SamplingFactors k422Tall{{2, 1, 1}, {2, 2, 2}};
inline constexpr SamplingFactors k444{{1, 1, 1}, {1, 1, 1}};
inline constexpr SamplingFactors k411{{4, 1, 1}, {1, 1, 1}};

struct EncodeOptions {
  int width = 320;
  int height = 240;
  int components = 3;  // 1 makes a greyscale image
  SamplingFactors sampling = k422;
  int quality = 50;
  bool progressive = false;
  bool optimizeTables = false;    // Huffman tables made for the picture, not the typical ones
  bool scanPerComponent = false;  // three scans, each with the tables it uses before it
  unsigned seed = 1;              // varies the picture
};

// A baseline JPEG file of a smooth picture with some texture.
Bytes EncodeJpeg(const EncodeOptions& options);

// The image as the camera would send it: the constant header (with the frame
// size patched in) followed by the entropy-coded data of the file after its SOS
// segment, up to and including the end-of-image marker.
Bytes CameraImageFrom(const Bytes& jpeg, std::uint16_t width, std::uint16_t height);

struct ReferencePlanes {
  int width = 0;
  int height = 0;
  std::vector<Bytes> rows[3];  // per plane, each row's samples
};

// libavcodec's decode of the file, set up as the decoder sets it up, each plane cropped
// to its visible samples.
ReferencePlanes DecodeWithLibav(const Bytes& jpeg);

// Byte offset just past the SOS segment of a JPEG file.
std::size_t ScanDataOffset(const Bytes& jpeg);

// Offset of the first 0xFF marker pair; throws when there is none.
std::size_t MarkerOffset(const Bytes& jpeg, std::uint8_t marker);

// The payload of every segment with the given marker, in file order.
std::vector<Bytes> Segments(const Bytes& jpeg, std::uint8_t marker);
