// camlist: the USB devices of the camera's vendor, and whether a program can use them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "usbreal/device_list.h"

struct CamlistOptions {
  uint16_t vendor = 0x0AC8;
};

std::unique_ptr<cli::CommandLine> CamlistCommandLine(CamlistOptions& options);

// One line per device (bus, address, ids, speed, whether it can be opened and what to
// do when not), under a heading; a sentence when there is none.
std::string FormatDeviceTable(const std::vector<usbreal::ListedDevice>& devices, uint16_t vendor);

// 0 when at least one device can be opened, 1 otherwise.
int ListStatus(const std::vector<usbreal::ListedDevice>& devices);
