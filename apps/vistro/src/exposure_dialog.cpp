#include "vistro/exposure_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "appcommon/dialog_units.h"

namespace {
constexpr int kFontPoints = 10;
constexpr int kWidthUnits = 175, kHeightUnits = 78;
constexpr int kLowestValue = 1, kHighestValue = 100;
}  // namespace

ExposureDialogWindow::ExposureDialogWindow(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint),  // a frame without a caption
      enableAuto_(new QCheckBox(QStringLiteral("Enable Auto"), this)),
      slider_(new QSlider(Qt::Horizontal, this)),
      value_(new QLabel(QString::number(kLowestValue), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setFont(DialogFont(kFontPoints));
  const DialogBaseUnits units = DialogBaseUnitsOf(font());
  setFixedSize(DialogUnitsToPixels(units, 0, 0, kWidthUnits, kHeightUnits).size());

  ok_->setGeometry(DialogUnitsToPixels(units, 19, 57, 50, 14));
  ok_->setDefault(true);
  cancel_->setGeometry(DialogUnitsToPixels(units, 98, 57, 50, 14));
  enableAuto_->setGeometry(DialogUnitsToPixels(units, 7, 7, 55, 10));
  slider_->setGeometry(DialogUnitsToPixels(units, 7, 22, 161, 15));
  slider_->setRange(kLowestValue, kHighestValue);
  slider_->setTickPosition(QSlider::NoTicks);
  auto* caption = new QLabel(QStringLiteral("Value:"), this);
  caption->setGeometry(DialogUnitsToPixels(units, 7, 39, 22, 8));
  value_->setGeometry(DialogUnitsToPixels(units, 33, 39, 42, 8));

  connect(slider_, &QSlider::valueChanged, value_, [this](int position) { value_->setNum(position); });
  connect(ok_, &QPushButton::clicked, this, [this] { Ok(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
}

void ExposureDialogWindow::Ok() { done(enableAuto_->isChecked() ? kAutomatic : slider_->value()); }

void ExposureDialogWindow::reject() { done(kCancelled); }

int ExposureDialog(QWidget* owner) {
  ExposureDialogWindow dialog(owner);
  return dialog.exec();
}
