#include "vistro/viewer_window.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QToolButton>

ViewerWindow::ViewerWindow(const QRect& screenGeometry, Handlers handlers)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      handlers_(std::move(handlers)),
      commandBar_(new QMenuBar(this)) {
  setWindowTitle(QStringLiteral("Vistro"));
  // The paint event covers everything: the picture, black around it. The command bar
  // keeps its own palette.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(screenGeometry);

  // The command bar's close box.
  auto* closeBox = new QToolButton(commandBar_);
  closeBox->setText(QStringLiteral("\u00D7"));
  closeBox->setAutoRaise(true);
  connect(closeBox, &QToolButton::clicked, this, &QWidget::close);
  commandBar_->setCornerWidget(closeBox, Qt::TopRightCorner);
  FitCommandBar();

  connect(&presenceTimer_, &QTimer::timeout, this, [this] {
    if (handlers_.presenceTimer) handlers_.presenceTimer();
  });
  presenceTimer_.start(kPresencePeriodMs);
}

void ViewerWindow::SetCommandBarVisible(bool visible) { commandBar_->setVisible(visible); }

void ViewerWindow::MakeTopMost() {
  raise();
  activateWindow();
}

void ViewerWindow::RequestRepaint() { QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection); }

void ViewerWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect picture = handlers_.paint ? handlers_.paint(painter) : QRect();
  for (const QRect& area : QRegion(event->rect()).subtracted(picture)) painter.fillRect(area, Qt::black);
}

void ViewerWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && handlers_.leftButtonDown) handlers_.leftButtonDown();
  QWidget::mousePressEvent(event);
}

// The window stays until the viewer's shut-down destroys it; closing only ends the loop.
void ViewerWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (handlers_.close) handlers_.close();
}

void ViewerWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitCommandBar();
}

void ViewerWindow::FitCommandBar() { commandBar_->setGeometry(0, 0, width(), commandBar_->sizeHint().height()); }
