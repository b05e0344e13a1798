#include "testing/jpeg_check.h"

#include <turbojpeg.h>

#include <fstream>
#include <iterator>

double DecodedJpeg::Mean(int channel) const {
  if (rgb.empty()) return 0;
  double sum = 0;
  for (size_t i = static_cast<size_t>(channel); i < rgb.size(); i += 3) sum += rgb[i];
  return sum / static_cast<double>(rgb.size() / 3);
}

std::optional<DecodedJpeg> DecodeJpeg(std::span<const uint8_t> bytes) {
  tjhandle decoder = tjInitDecompress();
  if (decoder == nullptr) return std::nullopt;
  DecodedJpeg picture;
  int subsampling = 0, colourspace = 0;
  std::optional<DecodedJpeg> result;
  if (tjDecompressHeader3(decoder, bytes.data(), static_cast<unsigned long>(bytes.size()), &picture.width,
                          &picture.height, &subsampling, &colourspace) == 0 &&
      picture.width > 0 && picture.height > 0) {
    picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
    if (tjDecompress2(decoder, bytes.data(), static_cast<unsigned long>(bytes.size()), picture.rgb.data(),
                      picture.width, 0, picture.height, TJPF_RGB, TJFLAG_ACCURATEDCT) == 0) {
      result = std::move(picture);
    }
  }
  tjDestroy(decoder);
  return result;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
