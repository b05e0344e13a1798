#include "emucam/backend_factory.h"

#include "emucam/emulated_camera.h"
#include "plug_schedule.h"
#include "usbhost/usbhost.h"

namespace emucam {

void RegisterBackendFactory() {
  usbhost::RegisterBackendFactory(
      "emu", [](std::string_view options, std::string& error) -> std::shared_ptr<usbhost::DeviceBackend> {
        std::optional<CameraOptions> parsed = ParseCameraOptions(options, error);
        if (!parsed) return nullptr;
        auto camera = EmulatedCamera::Create(*parsed, error);
        if (camera) ScheduleHotPlug(camera, *parsed);
        return camera;
      });
}

}  // namespace emucam
