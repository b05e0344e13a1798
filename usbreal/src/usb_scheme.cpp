#include "usbreal/usb_scheme.h"

#include <cstdio>

#include "usb_cameras.h"

namespace usbreal {
namespace {

UsbCameras*& Cameras() {
  static UsbCameras* cameras = nullptr;
  return cameras;
}

void PrintLine(const std::string& line) { std::fprintf(stderr, "velmar: %s\n", line.c_str()); }

}  // namespace

void RegisterBackendFactory(Report report) {
  static std::once_flag made;
  std::call_once(made, [&] { Cameras() = new UsbCameras(report ? std::move(report) : Report(PrintLine)); });
  usbhost::RegisterMultiBackendFactory(
      "usb", [](std::string_view options, std::string& error) -> std::optional<usbhost::Backends> {
        const std::optional<DeviceSelector> selector = ParseDeviceSelector(options, error);
        if (!selector) return std::nullopt;
        return Cameras()->Open(*selector, options.empty() ? "usb" : "usb:" + std::string(options), error);
      });
}

void StopHotPlug() {
  if (Cameras() != nullptr) Cameras()->Stop();
}

}  // namespace usbreal
