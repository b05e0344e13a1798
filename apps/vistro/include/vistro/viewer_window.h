// The viewer's top-level window: black, covering the screen, with the command bar (the
// menu bar) along its top edge. It knows nothing of cameras; the viewer hooks its
// handlers in.
#pragma once

#include <QRect>
#include <QTimer>
#include <QWidget>
#include <functional>

class QMenuBar;

class ViewerWindow : public QWidget {
 public:
  // Period of the presence timer (window timer 1).
  static constexpr int kPresencePeriodMs = 1000;

  struct Handlers {
    std::function<void()> presenceTimer;
    std::function<void()> close;
    std::function<void()> leftButtonDown;
    // Paints the picture; returns the area it covered (the rest is painted black).
    std::function<QRect(QPainter&)> paint;
  };

  // Placed at screenGeometry's corner with its size; the presence timer starts at once.
  ViewerWindow(const QRect& screenGeometry, Handlers handlers);

  QMenuBar* commandBar() const { return commandBar_; }
  // Spans the bar across the top edge at the height its menus need.
  void FitCommandBar();
  void SetCommandBarVisible(bool visible);
  // Above every other window, without moving or sizing it.
  void MakeTopMost();
  void StopPresenceTimer() { presenceTimer_.stop(); }
  bool presenceTimerActive() const { return presenceTimer_.isActive(); }

  // Any thread: the window repaints itself on its own thread soon. The request carries
  // no data; the picture is handed over under the viewer's lock.
  void RequestRepaint();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  Handlers handlers_;
  QMenuBar* commandBar_;
  QTimer presenceTimer_;
};
