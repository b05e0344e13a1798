// The frame worker of one preview run: paced by the 40 ms timer, it fetches the newest
// frame (with its JPEG image when the run records), appends the JPEG image to the AVI
// file, and scales and draws the frame.
#pragma once

#include "platform/wintypes.h"

// Thread routine; the parameter is the ViewerState. Runs until `running` is cleared or
// `quitting` set (tested once per period), then stops capture, finishes the recording
// and sets threadDone as its last act. Exit code 0.
DWORD FrameThread(LPVOID parameter);
