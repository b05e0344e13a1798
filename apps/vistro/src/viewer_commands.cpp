// The menu commands of the viewer.
#include <QString>

#include "appcommon/display_format.h"
#include "camclient/camclient.h"
#include "velmar/vlm_ioctl.h"
#include "vistro/preview_layout.h"
#include "vistro/snapshot.h"
#include "vistro/viewer.h"
#include "vistro/viewer_ids.h"
#include "vistro/viewer_menu.h"
#include "vistro/viewer_window.h"

using namespace viewer_ids;

namespace {
constexpr DWORD kLightModeOutdoor = 2;
constexpr DWORD kLightMode50Hz = 0;
constexpr size_t kVersionCharacters = 260;
}  // namespace

void Viewer::Command(int id) {
  if (!window_) return;
  const bool idle = !state_.running;
  switch (id) {
    case kSetCaptureFile:
      if (idle) ChooseCaptureFile();
      window_->MakeTopMost();
      break;
    case kExit: window_->close(); break;
    case kAbout:
      if (idle) ShowDriverVersion();
      break;
    case kFullScreen:
      if (!idle) EnterFullScreen();
      break;
    case kStart:
      if (idle) StartRun();
      break;
    case kSnapshot:
      if (!idle) TakeSnapshot(state_);
      break;
    case kSize320x240:
    case kSize640x480:
      if (idle && PixelFormatCode(state_.screenBits) >= 0) ChangeSize(id == kSize640x480);
      break;
    case kStop:
      if (!idle) StopRun();
      break;
    case kModeOutdoor:
    case kMode50Hz: ChangeLightMode(id); break;
    case kExposure:
      if (!idle) ChangeExposure();
      break;
    default:
      if (id >= kBandwidthAuto && id <= kBandwidthLevel7) ChangeBandwidth(id);
      break;
  }
}

void Viewer::ChooseCaptureFile() {
  const std::optional<QString> name = prompts_.captureFile(window_.get());
  if (!name) return;
  const std::string chosen = name->toStdString();
  // The dialog asked about the name as typed; a file that ".avi" makes of it is asked
  // about here.
  if (RecordingFiles::ReplacesUnconfirmed(chosen) && !ConfirmReplacing(chosen)) return;
  if (!state_.recording.Choose(chosen, true)) {
    prompts_.message(window_.get(), QStringLiteral("Vistro"),
                     QStringLiteral("The capture file name is too long; no capture file was set."),
                     QMessageBox::Warning);
  }
}

bool Viewer::ConfirmReplacing(const std::string& chosenName) {
  const QString path = QString::fromStdString(RecordingFiles::CaptureFilePathFor(chosenName));
  return prompts_.confirm(window_.get(), QStringLiteral("Vistro"),
                          QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path));
}

void Viewer::ShowDriverVersion() {
  WCHAR version[kVersionCharacters] = {};
  if (GetDriverVersion(state_.cameraIndex, version, sizeof version) <= 0) return;
  size_t length = 0;
  while (length < kVersionCharacters && version[length] != u'\0') ++length;
  prompts_.message(window_.get(), QStringLiteral("Driver Version"),
                   QString::fromUtf16(version, static_cast<qsizetype>(length)), QMessageBox::Information);
}

void Viewer::EnterFullScreen() {
  state_.fullScreen = true;
  SetFullScreen(state_, true);
}

void Viewer::ChangeSize(bool large) {
  const DWORD code = static_cast<DWORD>(PixelFormatCode(state_.screenBits));
  if (SetVideoFormat(state_.cameraIndex, code, large ? VLM_SIZE_640X480 : VLM_SIZE_320X240) != 0) {
    prompts_.message(window_.get(), QStringLiteral("Error"), QStringLiteral("Set video format failed!"),
                     QMessageBox::Critical);
    return;
  }
  state_.imageWidth = large ? 640 : 320;
  state_.imageHeight = large ? 480 : 240;
  LayoutPreview(state_, state_.fullScreen);
  menu_->CheckOnly(large ? kSize640x480 : kSize320x240, kSize320x240, kSize640x480);
}

void Viewer::ChangeLightMode(int id) {
  if (SetLightMode(state_.cameraIndex, id == kModeOutdoor ? kLightModeOutdoor : kLightMode50Hz) >= 0) {
    menu_->CheckOnly(id, kModeOutdoor, kMode50Hz);
  }
}

void Viewer::ChangeBandwidth(int id) {
  if (SetBandwidth(state_.cameraIndex, static_cast<DWORD>(id - kBandwidthAuto)) >= 0) {
    menu_->CheckOnly(id, kBandwidthAuto, kBandwidthLevel7);
  }
}

void Viewer::ChangeExposure() {
  const int result = prompts_.exposure(window_.get());
  if (result > 0) {
    SetExposure(state_.cameraIndex, 0, static_cast<DWORD>(result));
  } else if (result == 0) {
    SetExposure(state_.cameraIndex, 1, 0);
  }
}
