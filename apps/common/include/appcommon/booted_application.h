// Start-up and shut-down of a windowed program: the camera system boots before anything
// else, the Qt application comes next, and the system shuts down once the program's
// windows are gone.
#pragma once

#include <QString>
#include <functional>

class QApplication;
class QWidget;

// Boots the system (BootSystem), makes the QApplication and runs `program` in it. When
// the boot fails, the reason goes to stderr and into a message box captioned `caption`,
// and the result is 1; otherwise it is the result of `program`. ShutdownSystem runs last
// in both cases. While `program` runs, SIGINT and SIGTERM close its windows
// (CloseOnSignal). SIGXFSZ is ignored, so that a file that reaches the size limit fails
// its write like a full disk, which the program reports, instead of killing it. argc
// and argv are handed to QApplication, which keeps them.
int RunBootedApplication(int& argc, char** argv, const QString& caption,
                         const std::function<int(QApplication&)>& program);

// How a dialog program shows a warning: a message box over `owner`.
using ShowMessage = std::function<void(QWidget* owner, const QString& text)>;

// RunBootedApplication for the programs that are one modal dialog: `runDialog` makes and
// runs it, handing it a ShowMessage that shows warning boxes captioned `caption`, and
// returns the exit status.
int RunBootedDialog(int& argc, char** argv, const QString& caption,
                    const std::function<int(const ShowMessage&)>& runDialog);
