// Start and stop of a preview run: the frame worker, and the menu states that follow it.
#include "vistro/frame_thread.h"
#include "vistro/viewer.h"
#include "vistro/viewer_menu.h"
#include "vistro/viewer_window.h"

void Viewer::StartRun() {
  state_.running = true;
  window_->update();  // the background clears to black
  state_.framesShown = 0;
  state_.framesRecorded = 0;
  state_.chunksRecorded = 0;
  state_.runRecordingFile = state_.recording.recordingEnabled() ? state_.recording.NextRunFile() : std::string();
  state_.runRecordingFileTaken = state_.recording.lastFileCreated();
  TakeNotice(state_);  // a message of an earlier run that nobody saw is stale now
  state_.frameThread = CreateThread(nullptr, 0, FrameThread, &state_, 0, nullptr);
  if (state_.frameThread == nullptr) {
    // Nothing runs, so nothing could ever be stopped: stay idle.
    state_.running = false;
    return;
  }
  menu_->ShowRunning(true);
}

void Viewer::StopRun() {
  state_.running = false;
  WaitForFrameThread();
  window_->update();
  menu_->ShowRunning(false);
}

// The worker sets threadDone as its last act; joining it afterwards takes the place of
// terminating a thread that would still be active.
void Viewer::WaitForFrameThread() {
  if (state_.frameThread == nullptr) return;
  WaitForSingleObject(state_.threadDone, INFINITE);
  WaitForSingleObject(state_.frameThread, INFINITE);
  CloseHandle(state_.frameThread);
  state_.frameThread = nullptr;
}
