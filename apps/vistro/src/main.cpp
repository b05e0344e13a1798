// vistro: the full-screen camera viewer and recorder.
#include <QApplication>
#include <cstdio>
#include <string>

#include "booted_application.h"
#include "viewer.h"
#include "viewer_options.h"

int main(int argc, char** argv) {
  ViewerOptions options;
  std::string error;
  switch (ParseViewerOptions(argc, argv, options, error)) {
    case OptionsOutcome::kHelp:
      PrintViewerUsage(stdout);
      return 0;
    case OptionsOutcome::kError:
      std::fprintf(stderr, "vistro: %s\n", error.c_str());
      PrintViewerUsage(stderr);
      return 2;
    case OptionsOutcome::kRun:
      break;
  }
  return RunBootedApplication(argc, argv, QStringLiteral("Vistro"), [&](QApplication&) {
    Viewer viewer(options, InteractivePrompts());
    if (viewer.StartUp()) viewer.RunMessageLoop();
    viewer.ShutDown();
    return 0;  // the viewer's exit code is 0 however it ended
  });
}
