// The exposure dialog's results: the slider's value, automatic exposure when the box is
// checked whatever the slider shows, and -1 for every way of cancelling.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "vistro/exposure_dialog.h"

namespace {

TEST(ExposureDialog, OpensInItsTemplateState) {
  ExposureDialogWindow dialog(nullptr);
  EXPECT_FALSE(dialog.enableAuto()->isChecked());
  EXPECT_EQ(dialog.enableAuto()->text(), "Enable Auto");
  EXPECT_EQ(dialog.slider()->minimum(), 1);
  EXPECT_EQ(dialog.slider()->maximum(), 100);
  EXPECT_EQ(dialog.slider()->value(), 1);
  EXPECT_EQ(dialog.valueLabel()->text(), "1");
  EXPECT_EQ(dialog.okButton()->text(), "OK");
  EXPECT_EQ(dialog.cancelButton()->text(), "Cancel");
  EXPECT_TRUE(dialog.okButton()->isDefault());
  // Laid out from the template: OK left of Cancel on one row, under the slider.
  EXPECT_LT(dialog.okButton()->geometry().right(), dialog.cancelButton()->geometry().left());
  EXPECT_EQ(dialog.okButton()->geometry().top(), dialog.cancelButton()->geometry().top());
  EXPECT_GT(dialog.okButton()->geometry().top(), dialog.slider()->geometry().bottom());
  EXPECT_TRUE(dialog.rect().contains(dialog.cancelButton()->geometry()));
}

TEST(ExposureDialog, SliderValueIsShownAndReturned) {
  ExposureDialogWindow dialog(nullptr);
  dialog.show();
  dialog.slider()->setValue(37);
  EXPECT_EQ(dialog.valueLabel()->text(), "37");
  QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), 37);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(ExposureDialog, CheckedBoxMeansAutomaticWhateverTheSlider) {
  ExposureDialogWindow dialog(nullptr);
  dialog.show();
  dialog.slider()->setValue(80);
  dialog.enableAuto()->setChecked(true);
  QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), ExposureDialogWindow::kAutomatic);
}

TEST(ExposureDialog, EnterPressesOk) {
  ExposureDialogWindow dialog(nullptr);
  dialog.show();
  dialog.slider()->setValue(100);
  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), 100);
}

TEST(ExposureDialog, CancelEscapeAndCloseAllGiveMinusOne) {
  {
    ExposureDialogWindow dialog(nullptr);
    dialog.show();
    dialog.slider()->setValue(50);
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), ExposureDialogWindow::kCancelled);
  }
  {
    ExposureDialogWindow dialog(nullptr);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), ExposureDialogWindow::kCancelled);
  }
  {
    ExposureDialogWindow dialog(nullptr);
    dialog.show();
    dialog.enableAuto()->setChecked(true);
    dialog.close();
    EXPECT_EQ(dialog.result(), ExposureDialogWindow::kCancelled);
  }
}

}  // namespace
