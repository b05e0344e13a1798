// Dialog templates give their controls in dialog units: a quarter of the dialog font's
// average character width across and an eighth of its height down. This is the one place
// where they become pixels.
#pragma once

#include <QFont>
#include <QRect>

struct DialogBaseUnits {
  int horizontal;  // average character width in pixels
  int vertical;    // character height in pixels
};

// The templates' "System" face is the platform's default user-interface font here, at
// the template's point size.
QFont DialogFont(int pointSize);

// Base units of a font, measured like the platform it came from: the width of the 52
// letters A-Z and a-z halved twice with rounding, and the line height.
DialogBaseUnits DialogBaseUnitsOf(const QFont& font);

// A template rectangle (x, y, width, height in dialog units) in pixels; each value is
// rounded to the nearest pixel.
QRect DialogUnitsToPixels(const DialogBaseUnits& base, int x, int y, int width, int height);
