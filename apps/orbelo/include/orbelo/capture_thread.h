// The capture thread of one preview run: it opens the chosen camera in the display's
// pixel format at 320 x 240, reads a frame every 40 ms, saves the pictures the dialog
// asked for, and hands each frame to the preview window. All driver calls of a run are
// made on this thread, so the dialog never touches the camera while the thread opens or
// closes it.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/wintypes.h"

class PreviewWindow;

// Shared by the dialog and its capture thread. The dialog fills the plain fields before
// it starts the thread and leaves them alone until threadDone is set.
struct CaptureRun {
  int cameraIndex = 0;
  unsigned screenBits = 0;
  std::string saveDirectory;
  PreviewWindow* preview = nullptr;
  // Auto-reset event set as the thread's last act.
  HANDLE threadDone = nullptr;
  // Runs on the capture thread when a BMP save fails, with the folder it went to.
  std::function<void(const std::string& folder)> bmpSaveFailed;

  // Set by the dialog, tested by the thread once per period.
  std::atomic<bool> stopRequested{true};
  std::atomic<bool> saveBmpRequested{false};
  std::atomic<bool> saveJpgRequested{false};
};

// Thread routine; the parameter is the CaptureRun. Returns 0.
DWORD CaptureThread(LPVOID parameter);
