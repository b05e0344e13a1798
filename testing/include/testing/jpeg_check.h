// Decoding by libjpeg-turbo, a decoder independent of the driver's, to check the JPEG
// files the programs save.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct DecodedJpeg {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // top-down rows of red, green, blue bytes

  // Mean of one channel (0 red, 1 green, 2 blue) over the picture.
  double Mean(int channel) const;
};

// nullopt when libjpeg-turbo cannot decode the bytes.
std::optional<DecodedJpeg> DecodeJpeg(std::span<const uint8_t> bytes);

// A whole file's bytes; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
