#include "orbelo_rig.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <fstream>

#include "orbelo/preview_window.h"

namespace {

constexpr int kPictureWidth = 320, kPictureHeight = 240;

struct Rgb {
  uint8_t red, green, blue;
};

template <typename ColourAt>
std::string WritePicture(const std::string& path, ColourAt colourAt) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << kPictureWidth << ' ' << kPictureHeight << "\n255\n";
  for (int y = 0; y < kPictureHeight; ++y) {
    for (int x = 0; x < kPictureWidth; ++x) {
      const Rgb colour = colourAt(x, y);
      out.put(static_cast<char>(colour.red)).put(static_cast<char>(colour.green)).put(static_cast<char>(colour.blue));
    }
  }
  return path;
}

bool AllBlack(const QImage& picture) {
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if ((picture.pixel(x, y) & 0xFFFFFF) != 0) return false;
    }
  }
  return true;
}

}  // namespace

OrbeloRig::OrbeloRig(const OrbeloOptions& options)
    : dialog_(options, [this](QWidget*, const QString& text) { messages_.push_back(text); }) {}

OrbeloRig::~OrbeloRig() {
  if (dialog_.Capturing()) dialog_.stopButton()->click();
}

void OrbeloRig::Open() {
  dialog_.OnInitDialog();
  dialog_.show();
}

void OrbeloRig::StartPreview(int index) {
  dialog_.cameraList()->setCurrentIndex(index);
  dialog_.startButton()->click();
}

bool OrbeloRig::WaitForPicture() {
  return QTest::qWaitFor(
      [this] {
        const PreviewWindow* preview = dialog_.previewWindow();
        return preview != nullptr && !AllBlack(preview->CurrentFrame());
      },
      10000);
}

std::string WriteQuadrantPicture(const std::string& folder) {
  return WritePicture(folder + "quadrants.ppm", [](int x, int y) {
    const bool right = x >= kPictureWidth / 2, bottom = y >= kPictureHeight / 2;
    if (!bottom) return right ? Rgb{0, 255, 0} : Rgb{255, 0, 0};
    return right ? Rgb{255, 255, 255} : Rgb{0, 0, 255};
  });
}

std::string WriteSolidPicture(const std::string& folder, uint8_t red, uint8_t green, uint8_t blue) {
  return WritePicture(folder + "solid.ppm", [=](int, int) { return Rgb{red, green, blue}; });
}

std::string StillCamera(const std::string& picturePath, int framesPerSecond) {
  return "source=file:" + picturePath + ",fps=" + std::to_string(framesPerSecond);
}
