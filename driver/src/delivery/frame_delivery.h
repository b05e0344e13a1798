// Handing the newest frame to callers in their output format: the read call and the two
// frame requests. Read and GET_FRAME hand each frame out once; GET_JPEG hands out the
// newest frame as often as it is asked.
#pragma once

#include "device/vlm_device.h"

// VLM_Read: the newest frame, once, when one has arrived since the last delivery.
DWORD ReadFrame(VlmDevice* device, LPVOID buffer, DWORD count);

// The newest complete frame in the output format into `buffer`; the bytes delivered or 0.
DWORD ReadNewFrame(VlmDevice* device, BYTE* buffer, DWORD count);

// The newest complete frame in the output format into `image` and as a JPEG image into
// `jpeg`; sizes[0] and sizes[1] receive the bytes placed in each. TRUE when the image in
// the output format was delivered. A fault inside the decoder reaches the caller.
BOOL FetchNewFrame(VlmDevice* device, BYTE* image, DWORD imageLength, BYTE* jpeg, DWORD jpegLimit, DWORD* sizes);

// The newest complete frame as a JPEG image, without marking it delivered. TRUE when the
// frame is whole; *size is its length, or 0 when it did not fit `length`.
BOOL FetchJpegImage(VlmDevice* device, BYTE* buffer, DWORD length, DWORD* size);
