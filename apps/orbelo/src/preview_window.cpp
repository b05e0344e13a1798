#include "orbelo/preview_window.h"

#include <QPaintEvent>
#include <QPainter>

#include "appcommon/display_format.h"

PreviewWindow::PreviewWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Display Window Class"));
  setWindowTitle(QStringLiteral("Capture Window"));
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);
  setFixedSize(kWidth, kHeight);
}

bool PreviewWindow::CreateBitmap(unsigned bitsPerPixel) {
  const QImage::Format format = ImageFormatForDepth(bitsPerPixel);
  const std::lock_guard hold(bitsLock_);
  if (format == QImage::Format_Invalid) {
    bits_.clear();
    format_ = format;
    return false;
  }
  format_ = format;
  bitsPerPixel_ = bitsPerPixel;
  rowBytes_ = size_t{kWidth} * bitsPerPixel / 8;
  bits_.assign(rowBytes_ * kHeight, 0);
  return true;
}

void PreviewWindow::PostFrame(const uint8_t* pixels) {
  {
    const std::lock_guard hold(bitsLock_);
    if (bits_.empty()) return;
    CopyPixelsForDisplay(bits_.data(), pixels, bits_.size(), bitsPerPixel_);
  }
  if (!repaintPending_.exchange(true)) {
    // A request without data: a functor posted from this thread would be freed by the
    // GUI thread through Qt's event queue, a hand-over the thread sanitizer cannot see.
    QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection);
  }
}

QImage PreviewWindow::CurrentFrame() const {
  const std::lock_guard hold(bitsLock_);
  return BitmapLocked().copy();
}

QImage PreviewWindow::BitmapLocked() const {
  if (bits_.empty()) return {};
  return QImage(bits_.data(), kWidth, kHeight, static_cast<qsizetype>(rowBytes_), format_);
}

void PreviewWindow::paintEvent(QPaintEvent*) {
  repaintPending_ = false;
  QPainter painter(this);
  const std::lock_guard hold(bitsLock_);
  const QImage bitmap = BitmapLocked();
  if (!bitmap.isNull()) painter.drawImage(0, 0, bitmap);
}
