// tessly: the snapshot tool. The application runs its one dialog modally and ends with it.
#include "appcommon/booted_application.h"
#include "tessly/snapshot_dialog.h"
#include "tessly/tessly_options.h"

int main(int argc, char** argv) {
  TesslyOptions options;
  if (const auto status = TesslyCommandLine(options)->Handle(argc, argv)) return *status;
  return RunBootedDialog(argc, argv, QStringLiteral("tessly"),
                         [&](const ShowMessage& warn) { CSnapshotDialog(options, warn).DoModal(); });
}
