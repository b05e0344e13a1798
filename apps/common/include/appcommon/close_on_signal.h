// SIGINT and SIGTERM close a windowed program the way its close box does, so that a
// recording in progress is finished and the camera is released. A second signal, for a
// program that refuses to close (a dialog that is capturing), ends it at once. A window
// that opens after the signal (a dialog behind the message box the signal closed) is
// closed too, so one signal ends every program.
#pragma once

#include <QObject>

class QSocketNotifier;

class CloseOnSignal : public QObject {
 public:
  // Installs the handlers for the life of this object; one at a time per process.
  explicit CloseOnSignal(QObject* parent = nullptr);
  ~CloseOnSignal() override;
  CloseOnSignal(const CloseOnSignal&) = delete;
  CloseOnSignal& operator=(const CloseOnSignal&) = delete;

 private:
  void CloseWindows();
  bool eventFilter(QObject* watched, QEvent* event) override;

  QSocketNotifier* notifier_ = nullptr;
  bool closing_ = false;
};
