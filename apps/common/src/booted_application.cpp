#include "appcommon/booted_application.h"

#include <QApplication>
#include <QMessageBox>
#include <csignal>
#include <cstdio>
#include <string>

#include "appcommon/close_on_signal.h"
#include "system/boot.h"

int RunBootedApplication(int& argc, char** argv, const QString& caption,
                         const std::function<int(QApplication&)>& program) {
  std::string error;
  const bool booted = BootSystem(error);
  int result = 1;
  {
    QApplication application(argc, argv);
    if (booted) {
      std::signal(SIGXFSZ, SIG_IGN);
      const CloseOnSignal closeOnSignal;
      result = program(application);
    } else {
      std::fprintf(stderr, "%s: the camera system cannot start: %s\n", qPrintable(caption), error.c_str());
      QMessageBox::critical(nullptr, caption,
                            QStringLiteral("The camera system cannot start:\n%1").arg(QString::fromStdString(error)));
    }
  }
  ShutdownSystem();
  return result;
}

int RunBootedDialog(int& argc, char** argv, const QString& caption,
                    const std::function<int(const ShowMessage&)>& runDialog) {
  return RunBootedApplication(argc, argv, caption, [&](QApplication&) {
    return runDialog([&caption](QWidget* owner, const QString& text) { QMessageBox::warning(owner, caption, text); });
  });
}
