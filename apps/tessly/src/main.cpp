// tessly: the snapshot tool. The application runs its one dialog modally and ends with it.
#include <QApplication>
#include <QMessageBox>

#include "appcommon/booted_application.h"
#include "tessly/snapshot_dialog.h"
#include "tessly/tessly_options.h"

int main(int argc, char** argv) {
  TesslyOptions options;
  if (const auto status = TesslyCommandLine(options)->Handle(argc, argv)) return *status;
  const QString caption = QStringLiteral("tessly");
  return RunBootedApplication(argc, argv, caption, [&](QApplication&) {
    CSnapshotDialog dialog(options, [&caption](QWidget* owner, const QString& text) {
      QMessageBox::warning(owner, caption, text);
    });
    dialog.DoModal();
    return 0;
  });
}
