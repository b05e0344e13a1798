// The dialog as the tests drive it: messages are collected instead of shown, pictures go
// to a folder of the test's own, and still pictures give the cameras known content.
#pragma once

#include <QImage>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "orbelo/camera_dialog.h"
#include "test_folder.h"

class OrbeloRig {
 public:
  explicit OrbeloRig(const OrbeloOptions& options);
  // Stops a running capture before the dialog goes.
  ~OrbeloRig();

  CCameraDialog& dialog() { return dialog_; }
  const std::vector<QString>& messages() const { return messages_; }

  // Initialises and shows the dialog.
  void Open();
  // Picks "Num index" and presses Start.
  void StartPreview(int index);
  // True once the preview shows a picture that is not all black (within a few seconds).
  bool WaitForPicture();

 private:
  std::vector<QString> messages_;
  CCameraDialog dialog_;
};

// A 320 x 240 binary PPM in `folder` with four quadrants: red top left, green top right,
// blue bottom left, white bottom right. Its path.
std::string WriteQuadrantPicture(const std::string& folder);
// A 320 x 240 binary PPM of one colour. Its path.
std::string WriteSolidPicture(const std::string& folder, uint8_t red, uint8_t green, uint8_t blue);
// Options text of an emulated camera that streams a still picture.
std::string StillCamera(const std::string& picturePath, int framesPerSecond);
