// The places where the viewer asks or tells the user something, as replaceable calls:
// the program shows real dialogs, the tests answer in their place.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

struct ViewerPrompts {
  // A message box; a null owner shows it on its own.
  std::function<void(QWidget* owner, const QString& caption, const QString& text, QMessageBox::Icon icon)> message;
  // The save-file dialog for the capture file; nullopt when cancelled.
  std::function<std::optional<QString>(QWidget* owner)> captureFile;
  // The exposure dialog: -1 cancelled, 0 automatic, 1 to 100 manual.
  std::function<int(QWidget* owner)> exposure;
  // A yes-or-no question ("replace this file?"); true for yes.
  std::function<bool(QWidget* owner, const QString& caption, const QString& question)> confirm;
};

// The real dialogs.
ViewerPrompts InteractivePrompts();
