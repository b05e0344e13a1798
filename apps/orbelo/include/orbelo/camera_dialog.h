// The dialog of orbelo (template 102, caption "Orbelo"): the camera list, the preview
// window, and Start, Stop, Exit, SaveJpg and SaveBmp. Idle, Start and Exit are usable;
// while a capture thread runs, Stop, SaveJpg and SaveBmp are, and the dialog cannot be
// closed.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>
#include <mutex>
#include <optional>

#include "capture_thread.h"
#include "orbelo_options.h"
#include "platform/wintypes.h"

class QComboBox;
class QPushButton;
class PreviewWindow;

class CCameraDialog : public QDialog {
 public:
  // Ids of the template's controls; each control's object name is its id.
  enum ControlId {
    kStartButtonId = 1000,
    kCameraListId = 1001,
    kStopButtonId = 1002,
    kExitButtonId = 1003,
    kSaveJpgButtonId = 1005,
    kSaveBmpButtonId = 1006,
  };

  // A message box over `owner` with the program's caption; the tests replace it.
  using ShowMessage = std::function<void(QWidget* owner, const QString& text)>;

  CCameraDialog(OrbeloOptions options, ShowMessage showMessage);
  // Stops a capture that still runs.
  ~CCameraDialog() override;

  // Initialises the dialog and runs it modally; the dialog's result.
  int DoModal();
  // Lists the cameras, makes the preview window and its bitmap. With no camera it says
  // so and leaves only Exit usable.
  void OnInitDialog();

  // OK ends the dialog only while no capture runs. Desktop window managers have no OK
  // button in the caption, so this is the dialog's accept() for whoever calls it.
  void accept() override;
  // Cancel (Escape) never ends the dialog.
  void reject() override;

  bool Capturing() const;
  unsigned screenBits() const { return screenBits_; }
  // Null before initialisation, without a camera, and after the dialog has been tidied up.
  PreviewWindow* previewWindow() const { return previewWindow_; }
  QComboBox* cameraList() const { return cameraList_; }
  QPushButton* startButton() const { return startButton_; }
  QPushButton* stopButton() const { return stopButton_; }
  QPushButton* exitButton() const { return exitButton_; }
  QPushButton* saveJpgButton() const { return saveJpgButton_; }
  QPushButton* saveBmpButton() const { return saveBmpButton_; }

 protected:
  // The window's close button: closes only while no capture runs.
  void closeEvent(QCloseEvent* event) override;

 private:
  void PlaceControls();
  void Start();
  void Stop();
  void Exit();
  void SaveJpg();
  void SaveBmp();
  void ReportBmpSaveFailure(const QString& folder);
  // Shows a failure the capture thread left in pendingBmpFailure_.
  void ReportPendingBmpSaveFailure();
  // Releases the preview window and the thread-end event.
  void TidyUp();

  const OrbeloOptions options_;
  const ShowMessage showMessage_;

  QPushButton* startButton_;
  QPushButton* stopButton_;
  QPushButton* exitButton_;
  QPushButton* saveJpgButton_;
  QPushButton* saveBmpButton_;
  QComboBox* cameraList_;
  PreviewWindow* previewWindow_ = nullptr;

  unsigned screenBits_ = 0;
  HANDLE captureThread_ = nullptr;
  CaptureRun run_;

  // The capture thread leaves a failed BMP save's folder here; a timer on the dialog's
  // thread shows it. Nothing but this guarded value crosses the threads.
  std::mutex pendingBmpFailureLock_;
  std::optional<QString> pendingBmpFailure_;
  QTimer pendingBmpFailureTimer_;
};
