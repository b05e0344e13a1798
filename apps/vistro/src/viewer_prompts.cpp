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

}  // namespace

ViewerPrompts InteractivePrompts() { return {ShowMessage, AskCaptureFile, ExposureDialog}; }
