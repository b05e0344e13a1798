// Selection of a streaming alternate setting and the isochronous IN pipe on it.
#pragma once

#include "device/vlm_device.h"

// Selects the alternate setting on interface 0, opens a pipe on its first isochronous
// IN endpoint below 1024 bytes and makes the streaming event; records pipe, event,
// endpoint address and packet size in the record.
BOOL OpenStreamingInterface(VlmDevice* device, BYTE alternateSetting);
