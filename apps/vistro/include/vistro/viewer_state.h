// The viewer's program-wide record: display, camera, run state and the preview. The
// window thread owns it; FrameThread reads it during a run.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "offscreen_bitmap.h"
#include "platform/winbase.h"
#include "preview_scaler.h"
#include "recording_files.h"

class ViewerWindow;

// The preview's place and pictures; every field is guarded by ViewerState::previewLock.
struct PreviewFields {
  uint32_t previewLeft = 0, previewTop = 0, previewRight = 0, previewBottom = 0;
  OffscreenBitmap offscreenBitmap;
  PreviewScaler* scaler = nullptr;
};

struct ViewerState {
  ViewerWindow* mainWindow = nullptr;
  uint32_t commandBarHeight = 0;  // kept here: FrameThread lays out without touching widgets

  uint32_t screenWidth = 0, screenHeight = 0;
  uint32_t screenBits = 0;  // 16, 24 or 32 is usable

  int cameraIndex = 0;                           // always the first camera (VLM1:)
  uint32_t imageWidth = 320, imageHeight = 240;  // changed only while idle

  std::atomic<bool> running{false};
  std::atomic<bool> quitting{false};
  std::atomic<bool> fullScreen{false};

  RecordingFiles recording;            // changed only while idle
  std::string runRecordingFile;        // the current run's file while recording; empty: none could be made
  bool runRecordingFileTaken = false;  // made (empty) for this run by RecordingFiles
  std::string snapshotDirectory;

  HANDLE frameThread = nullptr;
  HANDLE threadDone = nullptr;  // auto-reset; FrameThread sets it as its last act

  CRITICAL_SECTION previewLock{};
  bool previewLockReady = false;
  PreviewFields preview;

  // What the latest run did, for whoever wants to know how it went: frames shown,
  // camera frames recorded, and the chunks of the file, which count the repeats too.
  std::atomic<uint32_t> framesShown{0};
  std::atomic<uint32_t> framesRecorded{0};
  std::atomic<uint32_t> chunksRecorded{0};

  // A message for the user from FrameThread (a recording that stopped), shown once by
  // the window thread, which takes it out.
  std::mutex noticeLock;
  std::string pendingNotice;
};

// FrameThread: leaves a message for the window thread to show.
void PostNotice(ViewerState& state, std::string text);
// Window thread: the message left since the last call, or empty.
std::string TakeNotice(ViewerState& state);

// previewLock held for the scope.
class PreviewLockGuard {
 public:
  explicit PreviewLockGuard(ViewerState& state) : lock_(&state.previewLock) { EnterCriticalSection(lock_); }
  ~PreviewLockGuard() { LeaveCriticalSection(lock_); }
  PreviewLockGuard(const PreviewLockGuard&) = delete;
  PreviewLockGuard& operator=(const PreviewLockGuard&) = delete;

 private:
  LPCRITICAL_SECTION lock_;
};
