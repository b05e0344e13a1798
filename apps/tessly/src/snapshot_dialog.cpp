#include "tessly/snapshot_dialog.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QScreen>
#include <memory>
#include <new>
#include <span>
#include <utility>

#include "appcommon/dialog_units.h"
#include "appcommon/program_directory.h"
#include "appcommon/snapshot_file.h"
#include "camclient/camclient.h"
#include "velmar/vlm_ioctl.h"

namespace {

constexpr int kFontPoints = 8;
constexpr int kWidthUnits = 130, kHeightUnits = 90;
constexpr DWORD kFrameBufferBytes = 40960;

}  // namespace

const QString CSnapshotDialog::kNoCamera = QStringLiteral("No camera");
const QString CSnapshotDialog::kSetFormatFailed = QStringLiteral("Set format failed.");
const QString CSnapshotDialog::kStartCameraFailed = QStringLiteral("Start camera failed.");

CSnapshotDialog::CSnapshotDialog(TesslyOptions options, ShowMessage showMessage)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      camera_(options.camera),
      saveDirectory_(options.saveDirectory.empty() ? PictureFolder() : std::move(options.saveDirectory)),
      showMessage_(std::move(showMessage)),
      actionButton_(new QPushButton(QStringLiteral("Action"), this)) {
  setWindowTitle(QStringLiteral("tessly"));
  setFont(DialogFont(kFontPoints));
  const DialogBaseUnits units = DialogBaseUnitsOf(font());
  setFixedSize(DialogUnitsToPixels(units, 0, 0, kWidthUnits, kHeightUnits).size());
  actionButton_->setObjectName(QString::number(kActionButtonId));
  actionButton_->setGeometry(DialogUnitsToPixels(units, 37, 32, 50, 14));
  connect(actionButton_, &QPushButton::clicked, this, [this] { TakeSnapshot(); });
}

CSnapshotDialog::~CSnapshotDialog() { ShutDown(); }

int CSnapshotDialog::DoModal() { return OnInitDialog() ? exec() : 0; }

bool CSnapshotDialog::OnInitDialog() {
  if (const QScreen* desktop = screen()) move(desktop->availableGeometry().center() - rect().center());

  if (CountCameras() <= 0) {
    showMessage_(this, kNoCamera);
    startUpFailure_ = "no camera";
    return false;
  }
  if (OpenCamera(camera_) < 0) {
    startUpFailure_ = "camera " + std::to_string(camera_) + " cannot be opened";
    return false;
  }
  cameraOpen_ = true;
  if (SetVideoFormat(camera_, VLM_FORMAT_JPEG, VLM_SIZE_320X240) < 0) {
    showMessage_(this, kSetFormatFailed);
    startUpFailure_ = "camera " + std::to_string(camera_) + " refused JPEG at 320x240";
    ShutDown();
    return false;
  }
  if (StartCapture(camera_) < 0) {
    showMessage_(this, kStartCameraFailed);
    startUpFailure_ = "camera " + std::to_string(camera_) + " cannot start streaming";
    ShutDown();
    return false;
  }
  return true;
}

std::string CSnapshotDialog::TakeSnapshot() {
  const std::unique_ptr<uint8_t[]> frame(new (std::nothrow) uint8_t[kFrameBufferBytes]());
  if (!frame) return {};
  // 0 bytes: no frame has arrived since the previous read.
  const int length = ReadFrame(camera_, frame.get(), kFrameBufferBytes);
  if (length <= 0 || static_cast<DWORD>(length) > kFrameBufferBytes) return {};
  return SaveSnapshot(saveDirectory_, std::span<const uint8_t>(frame.get(), static_cast<size_t>(length)));
}

void CSnapshotDialog::accept() {}

void CSnapshotDialog::reject() {}

void CSnapshotDialog::closeEvent(QCloseEvent* event) {
  ShutDown();
  done(0);
  event->accept();
}

void CSnapshotDialog::ShutDown() {
  if (!cameraOpen_) return;
  StopCapture(camera_);
  CloseCamera(camera_);
  cameraOpen_ = false;
}
