#include "image_file.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

#include "bounded_file.h"

namespace emucam {
namespace {

// A still picture is scaled down to at most 640 x 480, so nothing larger is needed; the
// limits keep a file that claims a huge picture from taking memory it could never use.
constexpr int kMaxDimension = 4096;
constexpr size_t kMaxFileBytes = 64u << 20;  // a 4096 x 4096 PPM fits
constexpr unsigned kLargestFrameWidth = 640;
constexpr unsigned kLargestFrameHeight = 480;

struct JpegErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void LeaveOnJpegError(j_common_ptr info) {
  auto* trap = reinterpret_cast<JpegErrorTrap*>(info->err);
  (*info->err->format_message)(info, trap->message);
  std::longjmp(trap->jump, 1);
}

// libjpeg reports errors by calling error_exit, which jumps back here.
std::optional<RgbImage> DecodeJpeg(const std::vector<uint8_t>& bytes, std::string& error) {
  jpeg_decompress_struct info{};
  JpegErrorTrap trap{};
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = LeaveOnJpegError;
  trap.manager.output_message = [](j_common_ptr) {};  // warnings (a short file) stay quiet
  // Made before setjmp and never reassigned after it, so a jump leaves it intact.
  const auto image = std::make_unique<RgbImage>();
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&info);
    error = std::string("not a readable JPEG image: ") + trap.message;
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if (info.image_width > kMaxDimension || info.image_height > kMaxDimension) {
    jpeg_destroy_decompress(&info);
    error = "image larger than " + std::to_string(kMaxDimension) + " pixels a side";
    return std::nullopt;
  }
  info.out_color_space = JCS_RGB;
  // Decoded at the smallest of 1/1, 1/2, 1/4 and 1/8 that still covers the largest frame.
  info.scale_num = 1;
  info.scale_denom = 1;
  while (info.scale_denom < 8 && info.image_width / (info.scale_denom * 2) >= kLargestFrameWidth &&
         info.image_height / (info.scale_denom * 2) >= kLargestFrameHeight) {
    info.scale_denom *= 2;
  }
  jpeg_start_decompress(&info);
  image->width = static_cast<int>(info.output_width);
  image->height = static_cast<int>(info.output_height);
  image->pixels.resize(static_cast<size_t>(image->width) * image->height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &image->pixels[static_cast<size_t>(info.output_scanline) * image->width * 3];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return std::move(*image);
}

// Binary PPM: "P6", width, height, maximum 255, whitespace and comments between.
std::optional<RgbImage> DecodePpm(const std::vector<uint8_t>& bytes, std::string& error) {
  size_t pos = 2;
  auto skipSpace = [&] {
    while (pos < bytes.size()) {
      if (bytes[pos] == '#') {
        while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      } else if (std::isspace(bytes[pos])) {
        ++pos;
      } else {
        break;
      }
    }
  };
  auto number = [&]() -> int {
    skipSpace();
    int value = 0;
    bool any = false;
    while (pos < bytes.size() && std::isdigit(bytes[pos]) && value <= kMaxDimension) {
      value = value * 10 + (bytes[pos++] - '0');
      any = true;
    }
    return any ? value : -1;
  };
  const int width = number(), height = number(), maximum = number();
  ++pos;  // the single whitespace before the samples
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension || maximum != 255) {
    error = "unsupported PPM header (need P6, 8-bit samples)";
    return std::nullopt;
  }
  const size_t samples = static_cast<size_t>(width) * height * 3;
  if (pos > bytes.size() || bytes.size() - pos < samples) {
    error = "PPM file is shorter than its header says";
    return std::nullopt;
  }
  RgbImage image{width, height,
                 std::vector<uint8_t>(bytes.begin() + static_cast<ptrdiff_t>(pos),
                                      bytes.begin() + static_cast<ptrdiff_t>(pos + samples))};
  return image;
}

uint8_t Clamp(double v) { return static_cast<uint8_t>(std::clamp(v + 0.5, 0.0, 255.0)); }

}  // namespace

std::optional<RgbImage> LoadImageFile(const std::string& path, std::string& error) {
  const std::optional<std::vector<uint8_t>> bytes = ReadBoundedFile(path, kMaxFileBytes, error);
  if (!bytes) {
    error = "image file '" + path + "' " + error;
    return std::nullopt;
  }
  std::optional<RgbImage> image;
  if (bytes->size() >= 2 && (*bytes)[0] == 0xFF && (*bytes)[1] == 0xD8) {
    image = DecodeJpeg(*bytes, error);
  } else if (bytes->size() >= 2 && (*bytes)[0] == 'P' && (*bytes)[1] == '6') {
    image = DecodePpm(*bytes, error);
  } else {
    error = "unknown image format (JPEG or binary PPM expected)";
  }
  if (!image) error = "image file '" + path + "': " + error;
  return image;
}

PlanarImage ToPlanar422(const RgbImage& image, int width, int height) {
  PlanarImage out(width, height);
  for (int y = 0; y < height; ++y) {
    const int sy = y * image.height / height;
    for (int x = 0; x < width; x += 2) {
      double cb = 0, cr = 0;
      for (int i = 0; i < 2; ++i) {
        const int sx = (x + i) * image.width / width;
        const uint8_t* p = &image.pixels[(static_cast<size_t>(sy) * image.width + sx) * 3];
        out.y[static_cast<size_t>(y) * width + x + i] = Clamp(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]);
        cb += 128 - 0.168736 * p[0] - 0.331264 * p[1] + 0.5 * p[2];
        cr += 128 + 0.5 * p[0] - 0.418688 * p[1] - 0.081312 * p[2];
      }
      const size_t c = static_cast<size_t>(y) * out.chromaWidth() + x / 2;
      out.cb[c] = Clamp(cb / 2);
      out.cr[c] = Clamp(cr / 2);
    }
  }
  return out;
}

}  // namespace emucam
