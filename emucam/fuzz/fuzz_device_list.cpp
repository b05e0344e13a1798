// libFuzzer target: VELMAR_DEVICES as the boot reads it: the camera-count expansion, the
// host's list of entries, and each emulated camera's options. The "emu" scheme is
// registered with a factory that parses the options as the real one does but plugs
// nothing, so every input runs the parsers alone.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "emucam/camera_options.h"
#include "usbhost/usbhost.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  usbhost::RegisterBackendFactory(
      "emu", [](std::string_view options, std::string& error) -> std::shared_ptr<usbhost::DeviceBackend> {
        if (!emucam::ParseCameraOptions(options, error) && error.empty()) abort();  // a refusal has a reason
        return nullptr;
      });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Packet scripts are read while the options are parsed: without '/', only a file of the
  // working folder can be named, and it is only read (a regular file, 16 MiB at most).
  if (text.find('/') != std::string_view::npos) return 0;
  std::string error;
  const auto expanded = emucam::ExpandCameraCounts(text, error);
  if (!expanded) {
    if (error.empty()) abort();
    return 0;
  }
  if (!usbhost::PlugDevicesFromConfig(*expanded, error) && error.empty()) abort();
  if (!usbhost::PluggedDevices().empty()) abort();  // the factory never makes a device
  return 0;
}
