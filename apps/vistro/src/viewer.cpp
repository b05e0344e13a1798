#include "vistro/viewer.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <filesystem>

#include "appcommon/display_format.h"
#include "appcommon/program_directory.h"
#include "camclient/camclient.h"
#include "velmar/vlm_ioctl.h"
#include "vistro/preview_layout.h"
#include "vistro/recording_files.h"
#include "vistro/viewer_ids.h"
#include "vistro/viewer_menu.h"
#include "vistro/viewer_window.h"

namespace {
const QString kCaption = QStringLiteral("Vistro");
constexpr int kNoticePollMs = 50;  // how soon a stopped recording is reported
}  // namespace

Viewer::Viewer(ViewerOptions options, ViewerPrompts prompts)
    : options_(std::move(options)), prompts_(std::move(prompts)) {
  state_.snapshotDirectory = options_.snapshotDirectory.empty() ? PictureFolder() : options_.snapshotDirectory;
  state_.fullScreen = options_.fullScreen;
}

Viewer::~Viewer() { ShutDown(); }

void Viewer::ShowStartUpMessage(const QString& text) {
  prompts_.message(nullptr, kCaption, text, QMessageBox::Information);
}

bool Viewer::StartUp() {
  if (CountCameras() <= 0) {
    ShowStartUpMessage(QStringLiteral("No camera."));
    return false;
  }
  if (OpenCamera(state_.cameraIndex) < 0) {
    ShowStartUpMessage(QStringLiteral("Failed to open camera."));
    return false;
  }
  state_.threadDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (state_.threadDone == nullptr) return false;
  InitializeCriticalSection(&state_.previewLock);
  state_.previewLockReady = true;

  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return false;
  state_.screenWidth = static_cast<uint32_t>(screen->geometry().width());
  state_.screenHeight = static_cast<uint32_t>(screen->geometry().height());
  state_.screenBits = options_.depth.value_or(ScreenBitsPerPixel(screen));

  if (!OpenCameraInItsFormat()) {
    ShowStartUpMessage(QStringLiteral("Set Video Format Failed!"));
    return false;
  }
  CreateWindowAndCommandBar();
  ChooseRecordFileOfTheCommandLine();
  LayoutPreview(state_, state_.fullScreen);
  PostCommand(viewer_ids::kStart);
  return true;
}

// --record names a file without any dialog: an existing one is replaced only when the
// user says so; otherwise nothing is recorded.
void Viewer::ChooseRecordFileOfTheCommandLine() {
  const std::string& chosen = options_.recordFile;
  if (chosen.empty()) return;
  std::error_code ignored;
  if (std::filesystem::exists(RecordingFiles::CaptureFilePathFor(chosen), ignored) && !ConfirmReplacing(chosen)) {
    return;
  }
  state_.recording.Choose(chosen, true);
}

void Viewer::ShowPendingNotice() {
  const std::string notice = TakeNotice(state_);
  if (!notice.empty()) prompts_.message(window_.get(), kCaption, QString::fromStdString(notice), QMessageBox::Warning);
}

// The display's pixel format at the starting size (320 x 240 unless asked otherwise).
bool Viewer::OpenCameraInItsFormat() {
  const int code = PixelFormatCode(state_.screenBits);
  if (code < 0) return false;
  const DWORD size = options_.large ? VLM_SIZE_640X480 : VLM_SIZE_320X240;
  if (SetVideoFormat(state_.cameraIndex, static_cast<DWORD>(code), size) != 0) return false;
  state_.imageWidth = options_.large ? 640 : 320;
  state_.imageHeight = options_.large ? 480 : 240;
  return true;
}

void Viewer::CreateWindowAndCommandBar() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  ViewerWindow::Handlers handlers;
  handlers.presenceTimer = [this] { OnPresenceTimer(); };
  handlers.close = [this] { OnClose(); };
  handlers.leftButtonDown = [this] { OnLeftButtonDown(); };
  handlers.paint = [this](QPainter& painter) { return BlitPreview(state_, painter); };
  window_ = std::make_unique<ViewerWindow>(screen->geometry(), std::move(handlers));
  state_.mainWindow = window_.get();

  menu_ = std::make_unique<ViewerMenu>(window_->commandBar(), [this](int id) { Command(id); });
  if (options_.large) menu_->CheckOnly(viewer_ids::kSize640x480, viewer_ids::kSize320x240, viewer_ids::kSize640x480);
  window_->FitCommandBar();
  state_.commandBarHeight = static_cast<uint32_t>(window_->commandBar()->height());
  window_->SetCommandBarVisible(!state_.fullScreen);

  window_->show();
  window_->MakeTopMost();

  noticeTimer_ = std::make_unique<QTimer>();
  QObject::connect(noticeTimer_.get(), &QTimer::timeout, window_.get(), [this] { ShowPendingNotice(); });
  noticeTimer_->start(kNoticePollMs);
}

void Viewer::RunMessageLoop() {
  if (quitPosted_) return;
  QEventLoop loop;
  messageLoop_ = &loop;
  loop.exec();
  messageLoop_ = nullptr;
}

void Viewer::PostCommand(int id) {
  if (window_)
    QMetaObject::invokeMethod(
        window_.get(), [this, id] { Command(id); }, Qt::QueuedConnection);
}

void Viewer::OnPresenceTimer() {
  if (CountCameras() == 0) window_->close();
}

void Viewer::OnClose() {
  state_.quitting = true;
  window_->StopPresenceTimer();
  quitPosted_ = true;
  if (messageLoop_ != nullptr) messageLoop_->quit();
}

void Viewer::OnLeftButtonDown() {
  if (!state_.fullScreen) return;
  state_.fullScreen = false;
  SetFullScreen(state_, false);
}

void Viewer::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (state_.frameThread != nullptr) {
    state_.quitting = true;
    WaitForFrameThread();
  }
  noticeTimer_.reset();
  menu_.reset();
  state_.mainWindow = nullptr;
  window_.reset();
  CloseCamera(state_.cameraIndex);
  if (state_.previewLockReady) DeleteCriticalSection(&state_.previewLock);
  state_.previewLockReady = false;
  if (state_.threadDone != nullptr) CloseHandle(state_.threadDone);
  state_.threadDone = nullptr;
  state_.preview.offscreenBitmap.Delete();
  DestroyScaler(state_.preview.scaler);
  state_.preview.scaler = nullptr;
}
