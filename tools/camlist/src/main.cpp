// camlist: lists the camera vendor's USB devices and whether they can be opened.
#include <cstdio>

#include "camlist/device_table.h"

int main(int argc, char** argv) {
  CamlistOptions options;
  if (const auto status = CamlistCommandLine(options)->Handle(argc, argv)) return *status;
  std::string error;
  const auto devices = usbreal::ListDevices(options.vendor, error);
  if (!devices) {
    std::fprintf(stderr, "camlist: %s\n", error.c_str());
    return 1;
  }
  std::fputs(FormatDeviceTable(*devices, options.vendor).c_str(), stdout);
  return ListStatus(*devices);
}
