// Decoding of the rebuilt image in the work buffer, and the record kept of the first
// image that made the decoder fault.
#pragma once

#include <cstdint>

#include "device/vlm_device.h"
#include "image/jpeg_decoder.h"

// Where the image that first made the decoder fault is kept; the platform maps the
// folder to the flash folder ($VELMAR_FLASH_DIR, or a folder of the user's own).
inline constexpr const WCHAR* kDecoderFaultDumpPath = u"\\residentflash\\except.jpg";

// Decodes device.jpegWorkBuffer (device.jpegLength bytes). Returns the planar size, or
// 0 when the decoder fails or reports an image of another size than the device's
// output. A fault inside the decoder (an exception) reaches the caller.
std::int32_t DecodeFrame(VlmDevice& device, DecodedImage& decoded);

// The same, but a fault counts as a failed decode; the first fault of the process also
// writes the image to kDecoderFaultDumpPath.
std::int32_t DecodeFrameKeepingFaults(VlmDevice& device, DecodedImage& decoded);

// The decoder routine; tests put one in place that faults. Null restores DecodeImage.
using DecodeRoutine = std::int32_t (*)(JpegDecoder*, const JpegInput*, DecodedImage*);
void SetDecodeRoutine(DecodeRoutine routine);
