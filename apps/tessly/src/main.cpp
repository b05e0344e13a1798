// tessly: the snapshot tool. The application runs its one dialog modally and ends with it.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <string>

#include "booted_application.h"
#include "snapshot_dialog.h"
#include "tessly_options.h"

int main(int argc, char** argv) {
  TesslyOptions options;
  std::string error;
  switch (ParseTesslyOptions(argc, argv, options, error)) {
    case TesslyCommand::kHelp:
      PrintTesslyUsage(stdout);
      return 0;
    case TesslyCommand::kError:
      std::fprintf(stderr, "tessly: %s\n", error.c_str());
      PrintTesslyUsage(stderr);
      return 2;
    case TesslyCommand::kRun:
      break;
  }
  const QString caption = QStringLiteral("tessly");
  return RunBootedApplication(argc, argv, caption, [&](QApplication&) {
    CSnapshotDialog dialog(options, [&caption](QWidget* owner, const QString& text) {
      QMessageBox::warning(owner, caption, text);
    });
    dialog.DoModal();
    return 0;
  });
}
