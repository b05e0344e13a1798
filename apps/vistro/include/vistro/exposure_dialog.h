// The exposure dialog (template 105): a check box for automatic exposure and a slider
// for a manual value. It always opens in its template state and remembers nothing.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

class ExposureDialogWindow : public QDialog {
 public:
  // Results of the dialog besides the manual values 1 to 100.
  static constexpr int kCancelled = -1;
  static constexpr int kAutomatic = 0;

  explicit ExposureDialogWindow(QWidget* owner);

  QCheckBox* enableAuto() const { return enableAuto_; }
  QSlider* slider() const { return slider_; }
  QLabel* valueLabel() const { return value_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

  // Cancel, Escape and closing the dialog all end it with kCancelled.
  void reject() override;

 private:
  void Ok();

  QCheckBox* enableAuto_;
  QSlider* slider_;
  QLabel* value_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// Runs the dialog modally over `owner`: -1 cancelled, 0 automatic exposure, 1 to 100 the
// manual value.
int ExposureDialog(QWidget* owner);
