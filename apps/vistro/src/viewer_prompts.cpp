#include "vistro/viewer_prompts.h"

#include <QFileDialog>

#include "vistro/exposure_dialog.h"

namespace {

void ShowMessage(QWidget* owner, const QString& caption, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.exec();
}

std::optional<QString> AskCaptureFile(QWidget* owner) {
  const QString name = QFileDialog::getSaveFileName(owner, QString(), QString(), QStringLiteral("AVI Files (*.avi)"));
  if (name.isEmpty()) return std::nullopt;
  return name;
}

bool Confirm(QWidget* owner, const QString& caption, const QString& question) {
  QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::Yes | QMessageBox::No, owner);
  box.setDefaultButton(QMessageBox::No);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

ViewerPrompts InteractivePrompts() { return {ShowMessage, AskCaptureFile, ExposureDialog, Confirm}; }
