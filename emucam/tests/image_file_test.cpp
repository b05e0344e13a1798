// Still pictures: large ones are decoded only as finely as the largest frame needs, and
// ones that claim more than the limit are refused before any pixel is read.
#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "image_file.h"

namespace emucam {
namespace {

class ImageFile : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path_); }
  void Write(const std::vector<unsigned char>& bytes) {
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::string path_ = (std::filesystem::temp_directory_path() / ("emucam_image_" + std::to_string(getpid()))).string();
};

std::vector<unsigned char> GreyJpeg(int width, int height) {
  std::vector<unsigned char> grey(static_cast<size_t>(width) * height, 128);
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  tjCompress2(handle, grey.data(), width, 0, height, TJPF_GRAY, &jpeg, &size, TJSAMP_GRAY, 50, 0);
  std::vector<unsigned char> bytes(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(handle);
  return bytes;
}

struct Scaling {
  int width, height;
  int decodedWidth, decodedHeight;
};

class JpegScaling : public ImageFile, public ::testing::WithParamInterface<Scaling> {};

TEST_P(JpegScaling, DecodesAtTheSmallestScaleThatCoversTheLargestFrame) {
  Write(GreyJpeg(GetParam().width, GetParam().height));
  std::string error;
  const auto image = LoadImageFile(path_, error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->width, GetParam().decodedWidth);
  EXPECT_EQ(image->height, GetParam().decodedHeight);
  EXPECT_EQ(image->pixels.size(), static_cast<size_t>(image->width) * image->height * 3);
}

INSTANTIATE_TEST_SUITE_P(Sizes, JpegScaling,
                         ::testing::Values(Scaling{64, 48, 64, 48}, Scaling{1279, 960, 1279, 960},
                                           Scaling{2600, 1960, 650, 490}, Scaling{4096, 4096, 1024, 1024},
                                           Scaling{4096, 480, 4096, 480}));

TEST_F(ImageFile, PicturesClaimingMoreThanTheLimitAreRefused) {
  std::string error;
  std::vector<unsigned char> jpeg = GreyJpeg(16, 16);
  // The SOF0 segment's height and width: claim 4097 x 16.
  for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = 0x10;
      jpeg[i + 6] = 0x01;
      break;
    }
  }
  Write(jpeg);
  EXPECT_FALSE(LoadImageFile(path_, error));
  EXPECT_NE(error.find("larger than 4096 pixels"), std::string::npos) << error;

  const std::string ppm = "P6 16 4097 255\n";
  Write(std::vector<unsigned char>(ppm.begin(), ppm.end()));
  EXPECT_FALSE(LoadImageFile(path_, error));
  EXPECT_NE(error.find("unsupported PPM header"), std::string::npos) << error;
}

}  // namespace
}  // namespace emucam
