#include "orbelo/capture_thread.h"

#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "appcommon/display_format.h"
#include "appcommon/frame_pacer.h"
#include "camclient/camclient.h"
#include "orbelo/preview_window.h"
#include "orbelo/saved_pictures.h"
#include "platform/winbase.h"
#include "velmar/vlm_ioctl.h"

namespace {

constexpr DWORD kJpegBufferBytes = 40960;

using Buffer = std::unique_ptr<uint8_t[]>;

// The camera's newest frame as it arrived, JPEG-compressed; no frame, no file.
void SaveNewestJpeg(const CaptureRun& run) {
  const Buffer jpeg(new (std::nothrow) uint8_t[kJpegBufferBytes]);
  if (!jpeg) return;
  const int length = GetJpegFrame(run.cameraIndex, jpeg.get(), kJpegBufferBytes);
  if (length <= 0 || static_cast<DWORD>(length) > kJpegBufferBytes) return;
  SaveJpgFile(run.saveDirectory, std::span<const uint8_t>(jpeg.get(), static_cast<size_t>(length)));
}

// A failed save is reported and dropped: retrying frame after frame would not mend a
// folder that cannot take the file.
void SaveFrameAsBmp(const CaptureRun& run, const uint8_t* frame) {
  const std::string path =
      SaveBmpFile(run.saveDirectory, PreviewWindow::kWidth, PreviewWindow::kHeight, run.screenBits, frame);
  if (path.empty() && run.bmpSaveFailed) run.bmpSaveFailed(run.saveDirectory);
}

void PreviewFrames(CaptureRun& run) {
  const size_t frameBytes = size_t{PreviewWindow::kWidth} * PreviewWindow::kHeight * run.screenBits / 8;
  const Buffer frame(new (std::nothrow) uint8_t[frameBytes]);
  const FramePacer pacer;
  if (!frame || !pacer.Ready() || StartCapture(run.cameraIndex) != 0) return;
  while (!run.stopRequested) {
    std::memset(frame.get(), 0, frameBytes);
    pacer.WaitForPeriod();
    if (run.saveJpgRequested.exchange(false)) SaveNewestJpeg(run);
    if (ReadFrame(run.cameraIndex, frame.get(), static_cast<DWORD>(frameBytes)) < 1) continue;
    if (run.saveBmpRequested.exchange(false)) SaveFrameAsBmp(run, frame.get());
    run.preview->PostFrame(frame.get());
  }
  StopCapture(run.cameraIndex);
}

}  // namespace

DWORD CaptureThread(LPVOID parameter) {
  auto& run = *static_cast<CaptureRun*>(parameter);
  // An unknown depth gives format code -1, which the driver refuses.
  const auto format = static_cast<DWORD>(PixelFormatCode(run.screenBits));
  if (OpenCamera(run.cameraIndex) >= 0 && SetVideoFormat(run.cameraIndex, format, VLM_SIZE_320X240) == 0) {
    PreviewFrames(run);
  }
  CloseCamera(run.cameraIndex);
  SetEvent(run.threadDone);
  return 0;
}
