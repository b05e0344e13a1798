// The camera client library: finds the velmar driver's cameras in the registry, opens one
// by index (0 to 8, the devices "VLM1:" to "VLM9:") and wraps each driver request in one
// call. Every program contains it; it keeps nothing but one table of open handles.
//
// Results of the wrappers: -1 when the index is out of range or the camera is not open
// (nothing is sent to the driver), -2 when the platform call fails (its last error stays
// set), otherwise 0 or the byte count. SetExposure answers -1 for a failed request too.
#pragma once

#include "platform/wintypes.h"

// Number of cameras the library can address, one per port slot of the driver.
constexpr int kCameraSlots = 9;

// Results of the calls (values fixed: programs compare with them and with 0).
constexpr int kCameraOk = 0;
constexpr int kCameraAlreadyOpen = 1;  // OpenCamera on an open camera
constexpr int kCameraNotOpen = -1;     // index out of range or camera not open; nothing sent
constexpr int kCameraCallFailed = -2;  // the platform call failed; its last error stays set
constexpr int kExposureFailed = -1;    // SetExposure, for any failure

// Active devices whose "Name" begins with "VLM"; 0 when the active key cannot be opened.
int CountCameras();

// kCameraOk when opened now, kCameraAlreadyOpen when it was already open, kCameraNotOpen
// for a bad index or a failed open.
int OpenCamera(int index);
BOOL IsCameraOpen(int index);
// Closes the handle; an index that is not open is ignored.
void CloseCamera(int index);

// The driver's version text (120 bytes of UTF-16); a buffer below 120 bytes gives -2.
int GetDriverVersion(int index, void* buffer, DWORD bufferSize);
// Output format code and size index of the driver's control interface (vlm_ioctl.h).
int SetVideoFormat(int index, DWORD formatCode, DWORD sizeIndex);
int SetLightMode(int index, DWORD lightMode);
int SetBandwidth(int index, DWORD level);

// The newest frame in the current output format, each frame once; bytes read.
int ReadFrame(int index, void* buffer, DWORD bufferSize);
// The newest frame as a JPEG image (repeatable); its length.
int GetJpegFrame(int index, void* buffer, DWORD bufferSize);
// The newest frame in the current format and as JPEG at once. byteCounts receives two
// words: the image bytes, then the JPEG bytes.
int GetFrameAndJpeg(int index, void* image, DWORD imageSize, void* jpeg, DWORD jpegSize, DWORD byteCounts[2]);

int StartCapture(int index);
int StopCapture(int index);
// automatic != 0 selects automatic exposure; otherwise the manual level (at most 100).
int SetExposure(int index, DWORD automatic, DWORD manualLevel);
