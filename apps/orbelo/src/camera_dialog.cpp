#include "orbelo/camera_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <utility>

#include "appcommon/dialog_units.h"
#include "appcommon/display_format.h"
#include "camclient/camclient.h"
#include "orbelo/preview_window.h"
#include "platform/winbase.h"

namespace {

constexpr int kFontPoints = 8;
constexpr int kWidthUnits = 283, kHeightUnits = 145;
// The preview window's place is given in pixels, not dialog units.
constexpr QPoint kPreviewPosition(15, 15);
constexpr int kPendingFailurePollMs = 50;  // how soon a failed save is reported

QPushButton* MakeButton(QWidget* dialog, const QString& text, int id) {
  auto* button = new QPushButton(text, dialog);
  button->setObjectName(QString::number(id));
  return button;
}

}  // namespace

CCameraDialog::CCameraDialog(OrbeloOptions options, ShowMessage showMessage)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      options_(std::move(options)),
      showMessage_(std::move(showMessage)),
      startButton_(MakeButton(this, QStringLiteral("&Start"), kStartButtonId)),
      stopButton_(MakeButton(this, QStringLiteral("Sto&p"), kStopButtonId)),
      exitButton_(MakeButton(this, QStringLiteral("&Exit"), kExitButtonId)),
      saveJpgButton_(MakeButton(this, QStringLiteral("SaveJpg"), kSaveJpgButtonId)),
      saveBmpButton_(MakeButton(this, QStringLiteral("SaveBmp"), kSaveBmpButtonId)),
      cameraList_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Orbelo"));
  cameraList_->setObjectName(QString::number(kCameraListId));
  PlaceControls();
  startButton_->setEnabled(false);
  stopButton_->setEnabled(false);
  saveJpgButton_->setEnabled(false);
  saveBmpButton_->setEnabled(false);

  connect(startButton_, &QPushButton::clicked, this, &CCameraDialog::Start);
  connect(stopButton_, &QPushButton::clicked, this, &CCameraDialog::Stop);
  connect(exitButton_, &QPushButton::clicked, this, &CCameraDialog::Exit);
  connect(saveJpgButton_, &QPushButton::clicked, this, &CCameraDialog::SaveJpg);
  connect(saveBmpButton_, &QPushButton::clicked, this, &CCameraDialog::SaveBmp);

  // The capture thread reports on its own thread; the message is shown on the dialog's.
  run_.bmpSaveFailed = [this](const std::string& folder) {
    const std::lock_guard hold(pendingBmpFailureLock_);
    pendingBmpFailure_ = QString::fromStdString(folder);
  };
  connect(&pendingBmpFailureTimer_, &QTimer::timeout, this, &CCameraDialog::ReportPendingBmpSaveFailure);
  pendingBmpFailureTimer_.start(kPendingFailurePollMs);
}

CCameraDialog::~CCameraDialog() {
  if (Capturing()) Stop();
  TidyUp();
}

void CCameraDialog::PlaceControls() {
  setFont(DialogFont(kFontPoints));
  const DialogBaseUnits units = DialogBaseUnitsOf(font());
  const auto pixels = [&units](int x, int y, int width, int height) {
    return DialogUnitsToPixels(units, x, y, width, height);
  };
  // The preview's place and size are pixels, the rest is in dialog units: with a small
  // dialog font the "Video" group grows until the whole frame shows, with the group's
  // left margin around it, and the dialog and the column right of the group make room.
  const QRect preview(kPreviewPosition, QSize(PreviewWindow::kWidth, PreviewWindow::kHeight));
  QRect videoGroup = pixels(7, 0, 202, 141);
  const int margin = preview.left() - videoGroup.left();
  const QSize growth(std::max(0, preview.right() + margin - videoGroup.right()),
                     std::max(0, preview.bottom() + margin - videoGroup.bottom()));
  videoGroup.adjust(0, 0, growth.width(), growth.height());
  setFixedSize(pixels(0, 0, kWidthUnits, kHeightUnits).size() + growth);
  const auto column = [&](int x, int y, int width, int height) {
    return pixels(x, y, width, height).translated(growth.width(), 0);
  };

  auto* video = new QGroupBox(QStringLiteral("Video"), this);
  video->setGeometry(videoGroup);
  video->lower();
  auto* caption = new QLabel(QStringLiteral("USB Camera:"), this);
  caption->setGeometry(column(219, 3, 48, 8));
  // The template's 110 units are the height of the dropped-down list; the closed box
  // keeps the height of its font.
  const QRect list = column(219, 18, 57, 110);
  cameraList_->setGeometry(list.x(), list.y(), list.width(), cameraList_->sizeHint().height());
  startButton_->setGeometry(column(219, 34, 57, 12));
  stopButton_->setGeometry(column(219, 47, 57, 12));
  exitButton_->setGeometry(column(219, 60, 57, 12));
  saveJpgButton_->setGeometry(column(219, 73, 57, 12));
  saveBmpButton_->setGeometry(column(219, 86, 57, 12));
}

int CCameraDialog::DoModal() {
  OnInitDialog();
  return exec();
}

void CCameraDialog::OnInitDialog() {
  if (const QScreen* desktop = screen()) move(desktop->availableGeometry().center() - rect().center());

  const int cameras = CountCameras();
  if (cameras <= 0) {
    showMessage_(this, QStringLiteral("Init camera error %1.").arg(cameras));
    return;
  }
  for (int index = 0; index < cameras; ++index) cameraList_->addItem(QStringLiteral("Num %1").arg(index));
  cameraList_->setCurrentIndex(0);

  previewWindow_ = new PreviewWindow(this);
  previewWindow_->move(kPreviewPosition);
  previewWindow_->show();
  previewWindow_->raise();
  run_.threadDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  startButton_->setEnabled(run_.threadDone != nullptr);

  // A display depth the driver has no format for (30 bits) gets the nearest one, which
  // Qt converts for the display; the pictures are saved at that depth.
  screenBits_ = DeliverableDepth(options_.depth.value_or(ScreenBitsPerPixel(screen())));
  previewWindow_->CreateBitmap(screenBits_);
}

bool CCameraDialog::Capturing() const { return stopButton_->isEnabled(); }

void CCameraDialog::Start() {
  run_.stopRequested = false;
  // Requests left over from a run that never delivered a frame are not carried over.
  run_.saveBmpRequested = false;
  run_.saveJpgRequested = false;
  ResetEvent(run_.threadDone);
  stopButton_->setEnabled(true);
  startButton_->setEnabled(false);
  exitButton_->setEnabled(false);
  saveJpgButton_->setEnabled(true);
  saveBmpButton_->setEnabled(true);

  run_.cameraIndex = cameraList_->currentIndex();
  run_.screenBits = screenBits_;
  run_.saveDirectory = options_.saveDirectory;
  run_.preview = previewWindow_;
  captureThread_ = CreateThread(nullptr, 0, CaptureThread, &run_, 0, nullptr);
}

void CCameraDialog::Stop() {
  startButton_->setEnabled(true);
  stopButton_->setEnabled(false);
  exitButton_->setEnabled(true);
  saveJpgButton_->setEnabled(false);
  saveBmpButton_->setEnabled(false);
  if (captureThread_ == nullptr) return;
  run_.stopRequested = true;
  WaitForSingleObject(run_.threadDone, INFINITE);
  // threadDone is the thread's last act; its end follows at once.
  WaitForSingleObject(captureThread_, INFINITE);
  CloseHandle(captureThread_);
  captureThread_ = nullptr;
}

void CCameraDialog::Exit() {
  TidyUp();
  done(0);
}

void CCameraDialog::SaveJpg() { run_.saveJpgRequested = true; }

void CCameraDialog::SaveBmp() { run_.saveBmpRequested = true; }

void CCameraDialog::ReportPendingBmpSaveFailure() {
  std::optional<QString> folder;
  {
    const std::lock_guard hold(pendingBmpFailureLock_);
    folder.swap(pendingBmpFailure_);
  }
  if (folder) ReportBmpSaveFailure(*folder);
}

void CCameraDialog::ReportBmpSaveFailure(const QString& folder) {
  showMessage_(this, QStringLiteral("SaveBmp failed: the picture cannot be written to \"%1\".")
                         .arg(folder.isEmpty() ? QStringLiteral(".") : folder));
}

void CCameraDialog::accept() {
  if (Capturing()) return;
  TidyUp();
  QDialog::accept();
}

void CCameraDialog::reject() {}

void CCameraDialog::closeEvent(QCloseEvent* event) {
  if (Capturing()) {
    event->ignore();
    return;
  }
  TidyUp();
  done(0);
  event->accept();
}

void CCameraDialog::TidyUp() {
  delete previewWindow_;
  previewWindow_ = nullptr;
  run_.preview = nullptr;
  if (run_.threadDone != nullptr) CloseHandle(run_.threadDone);
  run_.threadDone = nullptr;
}
