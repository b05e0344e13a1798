// orbelo: the dialog viewer. The application runs its one dialog modally and ends with it.
#include <QApplication>
#include <QMessageBox>

#include "appcommon/booted_application.h"
#include "orbelo/camera_dialog.h"
#include "orbelo/orbelo_options.h"

int main(int argc, char** argv) {
  OrbeloOptions options;
  if (const auto status = OrbeloCommandLine(options)->Handle(argc, argv)) return *status;
  const QString caption = QStringLiteral("Orbelo");
  return RunBootedApplication(argc, argv, caption, [&](QApplication&) {
    CCameraDialog dialog(options, [&caption](QWidget* owner, const QString& text) {
      QMessageBox::warning(owner, caption, text);
    });
    dialog.DoModal();
    return 0;
  });
}
