// The whole system inside a test program, booted as a program boots it: the client
// drivers installed and the devices plugged that the test program names (none by
// default: tests plug their own cameras and keep hold of them).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/builtin_modules.h"

namespace vtest {

struct BootSettings {
  // VELMAR_DEVICES for the boot, such as "emu" for one emulated camera.
  std::string devices;
  // An in-process driver standing in for "VELMAR.DLL" (its entry points by name), so
  // the tests can look inside it; null loads the driver library as programs do.
  BuiltinExportLookup driver = nullptr;
};

// Boots now; a failure fails the test program. ShutDown unplugs and unloads everything.
void BootForTests(const BootSettings& settings = {});
void ShutDownAfterTests();

// The same as a test environment:
//   ::testing::AddGlobalTestEnvironment(new vtest::BootedSystem({.devices = "emu"}));
class BootedSystem : public ::testing::Environment {
 public:
  explicit BootedSystem(BootSettings settings = {}) : settings_(std::move(settings)) {}
  void SetUp() override { BootForTests(settings_); }
  void TearDown() override { ShutDownAfterTests(); }

 private:
  BootSettings settings_;
};

}  // namespace vtest
