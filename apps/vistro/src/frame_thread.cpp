#include "vistro/frame_thread.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "appcommon/frame_pacer.h"
#include "camclient/camclient.h"
#include "vistro/preview_layout.h"
#include "vistro/run_recording.h"
#include "vistro/viewer_state.h"

namespace {

constexpr DWORD kJpegBufferBytes = 131072;

using Buffer = std::unique_ptr<uint8_t[]>;

Buffer AllocateZeroed(size_t bytes) { return Buffer(new (std::nothrow) uint8_t[bytes]()); }

// The buffers of one run, allocated once at its start.
struct RunBuffers {
  size_t frameBytes;
  size_t screenBytes;
  Buffer frame;
  Buffer screen;
};

bool KeepRunning(const ViewerState& state) { return state.running && !state.quitting; }

void Count(ViewerState& state, const RunRecording& recording, int chunks) {
  if (chunks > 0) state.chunksRecorded += static_cast<uint32_t>(chunks);
  state.framesRecorded = static_cast<uint32_t>(recording.framesTaken());
}

void TellCannotStart(ViewerState& state, const RunRecording& recording) {
  PostNotice(state, "The recording cannot start: \"" + recording.path() + "\" cannot be written (" +
                        std::strerror(recording.failure()) + ").\nThe preview goes on without recording.");
}

void TellStopped(ViewerState& state, const RunRecording& recording) {
  PostNotice(state, "The recording stopped: writing \"" + recording.path() + "\" failed (" +
                        std::strerror(recording.failure()) + ").\nThe file keeps the " +
                        std::to_string(state.chunksRecorded.load()) +
                        " frames recorded until then; the preview goes on.");
}

// Records until the run ends: true. False when the recording could not start or a write
// failed; the user has been told, the file is finished, and the run goes on previewing.
bool RecordFrames(ViewerState& state, RunBuffers& buffers, const FramePacer& pacer) {
  Buffer jpeg = AllocateZeroed(kJpegBufferBytes);
  RunRecording recording(state.runRecordingFile, state.imageWidth, state.imageHeight, kJpegBufferBytes);
  if (!jpeg || !recording.Ready()) {
    TellCannotStart(state, recording);
    return false;
  }
  while (KeepRunning(state)) {
    pacer.WaitForPeriod();
    DWORD byteCounts[2] = {0, 0};
    const bool fresh = GetFrameAndJpeg(state.cameraIndex, buffers.frame.get(), static_cast<DWORD>(buffers.frameBytes),
                                       jpeg.get(), kJpegBufferBytes, byteCounts) == 0 &&
                       byteCounts[1] <= kJpegBufferBytes;
    const auto now = RunRecording::Clock::now();
    const int chunks = fresh ? recording.AddFrame(jpeg.get(), byteCounts[1], now) : recording.KeepTime(now);
    if (chunks < 0) {
      TellStopped(state, recording);
      return false;
    }
    Count(state, recording, chunks);
    if (fresh) ScaleAndDrawFrame(state, buffers.frame.get(), buffers.screen.get(), buffers.screenBytes);
  }
  // The last frame lasts until the run ends.
  Count(state, recording, recording.KeepTime(RunRecording::Clock::now()));
  return true;
}

void PreviewFrames(ViewerState& state, RunBuffers& buffers, const FramePacer& pacer) {
  while (KeepRunning(state)) {
    pacer.WaitForPeriod();
    if (ReadFrame(state.cameraIndex, buffers.frame.get(), static_cast<DWORD>(buffers.frameBytes)) > 0) {
      ScaleAndDrawFrame(state, buffers.frame.get(), buffers.screen.get(), buffers.screenBytes);
    }
  }
}

void RunFrames(ViewerState& state) {
  RunBuffers buffers{size_t{state.screenBits} * state.imageWidth * state.imageHeight / 8,
                     size_t{state.screenWidth} * state.screenHeight * state.screenBits / 8, nullptr, nullptr};
  buffers.frame = AllocateZeroed(buffers.frameBytes);
  buffers.screen = AllocateZeroed(buffers.screenBytes);
  if (!buffers.frame || !buffers.screen) return;
  // A fresh bitmap for this run.
  LayoutPreview(state, state.fullScreen);
  if (StartCapture(state.cameraIndex) < 0) return;
  const FramePacer pacer;
  if (!pacer.Ready()) return;
  if (state.recording.recordingEnabled() && RecordFrames(state, buffers, pacer)) return;
  PreviewFrames(state, buffers, pacer);
}

}  // namespace

DWORD FrameThread(LPVOID parameter) {
  auto& state = *static_cast<ViewerState*>(parameter);
  ResetEvent(state.threadDone);
  RunFrames(state);
  // Also after a failed step: capture may have started before it.
  StopCapture(state.cameraIndex);
  // A numbered file taken for this run and never written is not left behind.
  if (state.runRecordingFileTaken) RemoveIfEmpty(state.runRecordingFile);
  SetEvent(state.threadDone);
  return 0;
}
