// orbelo: the dialog viewer. The application runs its one dialog modally and ends with it.
#include "appcommon/booted_application.h"
#include "orbelo/camera_dialog.h"
#include "orbelo/orbelo_options.h"

int main(int argc, char** argv) {
  OrbeloOptions options;
  if (const auto status = OrbeloCommandLine(options)->Handle(argc, argv)) return *status;
  return RunBootedDialog(argc, argv, QStringLiteral("Orbelo"), [&](const ShowMessage& warn) {
    CCameraDialog(options, warn).DoModal();
    return 0;
  });
}
