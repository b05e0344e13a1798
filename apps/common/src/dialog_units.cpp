#include "appcommon/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>
#include <cstdint>

namespace {

// value * numerator / denominator rounded to the nearest integer, halves away from zero.
int ScaleRounded(int value, int numerator, int denominator) {
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const int64_t half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

QFont DialogFont(int pointSize) {
  QFont font = QApplication::font();
  font.setPointSize(pointSize);
  return font;
}

DialogBaseUnits DialogBaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const DialogBaseUnits& base, int x, int y, int width, int height) {
  return QRect(ScaleRounded(x, base.horizontal, 4), ScaleRounded(y, base.vertical, 8),
               ScaleRounded(width, base.horizontal, 4), ScaleRounded(height, base.vertical, 8));
}
