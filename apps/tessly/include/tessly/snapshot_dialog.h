// The dialog of tessly (template 102, caption "tessly"): one "Action" button that saves
// the camera's newest frame as a JPEG snapshot named by the date and time. The camera
// streams JPEG images at 320 x 240 from a successful start-up until the window is closed;
// only the window's close button ends the dialog.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "tessly_options.h"

class QPushButton;

class CSnapshotDialog : public QDialog {
 public:
  static constexpr int kActionButtonId = 1000;

  // The string table's texts, shown when start-up fails.
  static const QString kNoCamera;
  static const QString kSetFormatFailed;
  static const QString kStartCameraFailed;

  // A message box over `owner` with the program's caption; the tests replace it.
  using ShowMessage = std::function<void(QWidget* owner, const QString& text)>;

  CSnapshotDialog(TesslyOptions options, ShowMessage showMessage);
  // Stops and closes a camera that still streams.
  ~CSnapshotDialog() override;

  // Start-up, then the dialog runs modally. 0 when start-up fails (the dialog never
  // shows), else the dialog's result.
  int DoModal();
  // Opens the camera, asks for JPEG images at 320 x 240 and starts streaming. False,
  // after the message its failure calls for, when the dialog must end at once.
  bool OnInitDialog();
  // Why start-up failed, for the program's one line on stderr; empty when it did not.
  const std::string& startUpFailure() const { return startUpFailure_; }

  // The Action button: reads the newest frame and saves it. Returns the file written,
  // empty when there was no new frame or no file could be made.
  std::string TakeSnapshot();

  // Neither OK (the dialog's accept()) nor Cancel (Escape) ends the dialog.
  void accept() override;
  void reject() override;

  QPushButton* actionButton() const { return actionButton_; }
  const std::string& saveDirectory() const { return saveDirectory_; }

 protected:
  // The window's close button: stops streaming, closes the camera and ends the dialog.
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShutDown();

  const int camera_;
  const std::string saveDirectory_;
  const ShowMessage showMessage_;
  QPushButton* actionButton_;
  bool cameraOpen_ = false;
  std::string startUpFailure_;
};
