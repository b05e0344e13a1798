#include "appcommon/close_on_signal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <atomic>
#include <csignal>

namespace {

// The handler only writes a byte; the GUI thread reads it and closes the windows.
int signalPipe[2] = {-1, -1};
std::atomic<int> signalsSeen{0};

void OnSignal(int number) {
  if (signalsSeen.fetch_add(1) > 0) {
    std::signal(number, SIG_DFL);
    std::raise(number);
    return;
  }
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

}  // namespace

CloseOnSignal::CloseOnSignal(QObject* parent) : QObject(parent) {
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  signalsSeen = 0;
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &CloseOnSignal::CloseWindows);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

CloseOnSignal::~CloseOnSignal() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  delete notifier_;
  for (int& end : signalPipe) {
    if (end >= 0) close(end);
    end = -1;
  }
}

void CloseOnSignal::CloseWindows() {
  char byte = 0;
  while (read(signalPipe[0], &byte, 1) == 1) {
  }
  if (!closing_) {
    closing_ = true;
    QCoreApplication::instance()->installEventFilter(this);
  }
  QApplication::closeAllWindows();
}

bool CloseOnSignal::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->isWindow()) QMetaObject::invokeMethod(widget, &QWidget::close, Qt::QueuedConnection);
  }
  return false;
}
