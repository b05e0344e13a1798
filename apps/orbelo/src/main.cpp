// orbelo: the dialog viewer. The application runs its one dialog modally and ends with it.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <string>

#include "booted_application.h"
#include "camera_dialog.h"
#include "orbelo_options.h"

int main(int argc, char** argv) {
  OrbeloOptions options;
  std::string error;
  switch (ParseOrbeloOptions(argc, argv, options, error)) {
    case OrbeloCommand::kHelp:
      PrintOrbeloUsage(stdout);
      return 0;
    case OrbeloCommand::kError:
      std::fprintf(stderr, "orbelo: %s\n", error.c_str());
      PrintOrbeloUsage(stderr);
      return 2;
    case OrbeloCommand::kRun:
      break;
  }
  const QString caption = QStringLiteral("Orbelo");
  return RunBootedApplication(argc, argv, caption, [&](QApplication&) {
    CCameraDialog dialog(options, [&caption](QWidget* owner, const QString& text) {
      QMessageBox::warning(owner, caption, text);
    });
    dialog.DoModal();
    return 0;
  });
}
