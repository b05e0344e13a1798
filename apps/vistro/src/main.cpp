// vistro: the full-screen camera viewer and recorder.
#include <QApplication>

#include "appcommon/booted_application.h"
#include "vistro/viewer.h"
#include "vistro/viewer_options.h"

int main(int argc, char** argv) {
  ViewerOptions options;
  if (const auto status = ViewerCommandLine(options)->Handle(argc, argv)) return *status;
  return RunBootedApplication(argc, argv, QStringLiteral("Vistro"), [&](QApplication&) {
    Viewer viewer(options, InteractivePrompts());
    if (viewer.StartUp()) viewer.RunMessageLoop();
    viewer.ShutDown();
    return 0;  // the viewer's exit code is 0 however it ended
  });
}
