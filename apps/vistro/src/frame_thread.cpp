#include "vistro/frame_thread.h"

#include <memory>
#include <new>

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

void RecordFrames(ViewerState& state, RunBuffers& buffers, const FramePacer& pacer) {
  Buffer jpeg = AllocateZeroed(kJpegBufferBytes);
  if (!jpeg) return;
  RunRecording recording(state.runRecordingFile, state.imageWidth, state.imageHeight);
  if (!recording.Ready()) return;
  while (KeepRunning(state)) {
    pacer.WaitForPeriod();
    DWORD byteCounts[2] = {0, 0};
    if (GetFrameAndJpeg(state.cameraIndex, buffers.frame.get(), static_cast<DWORD>(buffers.frameBytes), jpeg.get(),
                        kJpegBufferBytes, byteCounts) != 0) {
      continue;  // no new frame this period
    }
    if (byteCounts[1] <= kJpegBufferBytes && recording.Append(jpeg.get(), byteCounts[1])) ++state.framesRecorded;
    ScaleAndDrawFrame(state, buffers.frame.get(), buffers.screen.get(), buffers.screenBytes);
  }
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
  if (state.recording.recordingEnabled()) {
    RecordFrames(state, buffers, pacer);
  } else {
    PreviewFrames(state, buffers, pacer);
  }
}

}  // namespace

DWORD FrameThread(LPVOID parameter) {
  auto& state = *static_cast<ViewerState*>(parameter);
  ResetEvent(state.threadDone);
  RunFrames(state);
  // Also after a failed step: capture may have started before it.
  StopCapture(state.cameraIndex);
  SetEvent(state.threadDone);
  return 0;
}
