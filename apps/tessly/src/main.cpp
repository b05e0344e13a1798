// tessly: the snapshot tool. The application runs its one dialog modally and ends with it.
#include <cstdio>

#include "appcommon/booted_application.h"
#include "tessly/snapshot_dialog.h"
#include "tessly/tessly_options.h"

int main(int argc, char** argv) {
  TesslyOptions options;
  if (const auto status = TesslyCommandLine(options)->Handle(argc, argv)) return *status;
  return RunBootedDialog(argc, argv, QStringLiteral("tessly"), [&](const ShowMessage& warn) {
    CSnapshotDialog dialog(options, warn);
    dialog.DoModal();
    // Start-up failures keep their message boxes (or their silence) and say so on
    // stderr too, so that a script sees them.
    if (dialog.startUpFailure().empty()) return 0;
    std::fprintf(stderr, "tessly: %s\n", dialog.startUpFailure().c_str());
    return 1;
  });
}
