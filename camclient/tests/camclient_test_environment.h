// The whole stack in the test process: platform, USB host, the velmar driver and one
// emulated camera (VLM1:), booted once like a program does first thing.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "usbhost/usbhost.h"

// Plugs one more emulated camera for a test and unplugs it at the end unless the test
// has unplugged it already.
class ExtraCamera {
 public:
  ExtraCamera();
  ExtraCamera(const ExtraCamera&) = delete;
  ExtraCamera& operator=(const ExtraCamera&) = delete;
  ~ExtraCamera();

  bool Plugged() const { return id_ != 0; }
  void Unplug();

 private:
  usbhost::DeviceId id_ = 0;
};
