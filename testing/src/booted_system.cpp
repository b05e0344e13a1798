#include "testing/booted_system.h"

#include <cstdlib>

#include "system/boot.h"

namespace vtest {

void BootForTests(const BootSettings& settings) {
  if (settings.driver != nullptr) RegisterBuiltinModule(u"VELMAR.DLL", settings.driver);
  setenv("VELMAR_DEVICES", settings.devices.c_str(), 1);
  unsetenv("VELMAR_DRIVERS");
  std::string error;
  ASSERT_TRUE(BootSystem(error)) << error;
}

void ShutDownAfterTests() { ShutdownSystem(); }

}  // namespace vtest
