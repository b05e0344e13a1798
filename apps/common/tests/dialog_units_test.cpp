// Dialog units to pixels: the rounding of the template arithmetic and the base units of
// a real font.
#include <gtest/gtest.h>

#include <QFontMetrics>

#include "appcommon/dialog_units.h"
#include "offscreen_application.h"

TEST(DialogUnits, ScaleByAQuarterAndAnEighthOfTheBaseUnitsRounded) {
  const DialogBaseUnits base{6, 13};
  // The exposure dialog's OK button: 19, 57, 50 x 14.
  EXPECT_EQ(DialogUnitsToPixels(base, 19, 57, 50, 14), QRect(29, 93, 75, 23));
  // Exact multiples stay exact; halves round up.
  EXPECT_EQ(DialogUnitsToPixels(DialogBaseUnits{8, 16}, 4, 8, 2, 1), QRect(8, 16, 4, 2));
  EXPECT_EQ(DialogUnitsToPixels(DialogBaseUnits{2, 4}, 1, 1, 3, 3), QRect(1, 1, 2, 2));
}

TEST(DialogUnits, BaseUnitsFollowTheFont) {
  OffscreenApplication application;
  const QFont small = DialogFont(8);
  const QFont large = DialogFont(16);
  const DialogBaseUnits smallUnits = DialogBaseUnitsOf(small);
  const DialogBaseUnits largeUnits = DialogBaseUnitsOf(large);
  EXPECT_EQ(smallUnits.vertical, QFontMetrics(small).height());
  EXPECT_GT(smallUnits.horizontal, 0);
  EXPECT_GT(largeUnits.horizontal, smallUnits.horizontal);
  EXPECT_GT(largeUnits.vertical, smallUnits.vertical);
  // The average letter is narrower than the widest one.
  EXPECT_LE(smallUnits.horizontal, QFontMetrics(small).horizontalAdvance(QLatin1Char('W')));
}
