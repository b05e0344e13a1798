#include "emucam/backend_factory.h"

#include "emucam/emulated_camera.h"
#include "usbhost/usbhost.h"

namespace emucam {

void RegisterBackendFactory() {
  usbhost::RegisterBackendFactory(
      "emu", [](std::string_view options, std::string& error) -> std::shared_ptr<usbhost::DeviceBackend> {
        return EmulatedCamera::Create(options, error);
      });
}

}  // namespace emucam
