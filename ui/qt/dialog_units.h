#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace vantrel {

// A position and size in dialog units: a quarter of the dialog font's
// average character width across, an eighth of its height down.
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The dialog font's average character width and height in pixels.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

// Average width as the platform defines it: the advance of "A".."Z" and
// "a".."z" divided by 52, rounded; the height is the font's line height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Each value is scaled on its own with rounding, as dialog templates are
// laid out, so neighbouring controls keep their gaps.
QRect MapDialogRect(const DialogRect& rect, DialogBaseUnits base);
QSize MapDialogSize(int width, int height, DialogBaseUnits base);

}  // namespace vantrel
