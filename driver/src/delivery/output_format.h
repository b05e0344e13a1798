// The output format and size of delivered frames, and the decoding objects they need.
#pragma once

#include "device/vlm_device.h"

// 16, 24, 32, 12, 8, 16 for the formats 0 to 5; -1 for any other code.
int FormatBitsPerPixel(DWORD format);

// Stores the format and size and makes the decoder, the 4:2:0 buffer and the converter
// that the format needs; every frame already in the slots counts as delivered. FALSE, nothing changed, for an unknown
// format or size index. TRUE also when memory for those objects could not be had: frames are then not delivered until a
// set-format succeeds.
BOOL SetOutputFormat(VlmDevice* device, DWORD format, DWORD sizeIndex);
