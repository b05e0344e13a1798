#include "orbelo/saved_pictures.h"

#include <vector>

#include "appcommon/snapshot_file.h"
#include "orbelo/bmp_file.h"
#include "platform/winbase.h"

std::string TickCountStem() { return std::to_string(static_cast<int32_t>(GetTickCount())); }

std::string SaveJpgFile(const std::string& folder, std::span<const uint8_t> jpeg) {
  if (jpeg.empty()) return {};
  return WriteNewFile(folder, TickCountStem(), ".jpg", jpeg);
}

std::string SaveBmpFile(const std::string& folder, uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                        const uint8_t* pixels) {
  const std::vector<uint8_t> file = BmpFileBytes(width, height, bitsPerPixel, pixels);
  if (file.empty()) return {};
  return WriteNewFile(folder, TickCountStem(), ".bmp", file);
}
