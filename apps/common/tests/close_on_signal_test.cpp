// SIGTERM and SIGINT reach a windowed program as a close of its windows, through the
// ordinary close path (where a viewer finishes its recording).
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QWidget>
#include <csignal>
#include <functional>

#include "appcommon/close_on_signal.h"
#include "offscreen_application.h"

namespace {

class CountingWindow : public QWidget {
 public:
  int closeRequests = 0;
  bool refuse = false;

 protected:
  void closeEvent(QCloseEvent* event) override {
    ++closeRequests;
    if (refuse) {
      event->ignore();
    } else {
      event->accept();
    }
  }
};

void ProcessEventsUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(5000);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

}  // namespace

TEST(CloseOnSignal, SignalsCloseTheWindowsThroughTheirClosePath) {
  for (const int signalNumber : {SIGTERM, SIGINT}) {
    OffscreenApplication application;
    CountingWindow window;
    window.show();
    {
      const CloseOnSignal closeOnSignal;
      std::raise(signalNumber);
      ProcessEventsUntil([&] { return window.closeRequests > 0; });
    }
    EXPECT_EQ(window.closeRequests, 1) << "signal " << signalNumber;
    EXPECT_FALSE(window.isVisible());
  }
}

TEST(CloseOnSignal, AWindowMayRefuseAndTheHandlersGoAwayWithTheObject) {
  OffscreenApplication application;
  CountingWindow window;
  window.refuse = true;
  window.show();
  {
    const CloseOnSignal closeOnSignal;
    std::raise(SIGTERM);
    ProcessEventsUntil([&] { return window.closeRequests > 0; });
    EXPECT_TRUE(window.isVisible());
  }
  struct sigaction current = {};
  sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST(CloseOnSignal, AWindowThatOpensAfterTheSignalClosesToo) {
  OffscreenApplication application;
  CountingWindow messageBox;
  messageBox.show();
  const CloseOnSignal closeOnSignal;
  std::raise(SIGTERM);
  ProcessEventsUntil([&] { return messageBox.closeRequests > 0; });
  CountingWindow dialog;  // shown once the message box has gone
  dialog.show();
  ProcessEventsUntil([&] { return dialog.closeRequests > 0; });
  EXPECT_EQ(dialog.closeRequests, 1);
  EXPECT_FALSE(dialog.isVisible());
}
