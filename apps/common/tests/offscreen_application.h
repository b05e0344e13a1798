// A QApplication on the offscreen platform for the length of one test.
#pragma once

#include <QApplication>
#include <memory>

class OffscreenApplication {
 public:
  OffscreenApplication();
  ~OffscreenApplication();
  OffscreenApplication(const OffscreenApplication&) = delete;
  OffscreenApplication& operator=(const OffscreenApplication&) = delete;

  // Sets the platform for applications made from now on (RunBootedApplication's too).
  static void SelectOffscreenPlatform();

 private:
  int argc_ = 1;
  char* argv_[2];
  std::unique_ptr<QApplication> application_;
};
