#pragma once

// Dialog templates give every position and size in dialog units, which scale
// with the dialog's font: a horizontal unit is a quarter of the font's
// average character width, a vertical unit an eighth of its height. The
// conversion rounds each value on its own, the way the dialog manager does,
// so controls land on the same pixels as there.

#include <QFont>
#include <QRect>

class QWidget;

// The font the dialog templates name: "MS Sans Serif" at 8 points, or
// whatever sans-serif face the system substitutes for it.
QFont DialogFont();

class DialogUnits
{
public:
    // Base units measured from `font` as the dialog manager measures them.
    explicit DialogUnits(const QFont& font);
    DialogUnits(int averageCharWidth, int charHeight);

    int AverageCharWidth() const { return baseWidth; }

    int CharHeight() const { return baseHeight; }

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(int x, int y, int width, int height) const;

private:
    int baseWidth;
    int baseHeight;
};

// a * b / c for a positive c, rounded to the nearest integer with halves
// away from zero.
int MulDiv(int a, int b, int c);

// Moves `dialog` to its template position (x, y in dialog units) relative
// to its parent's client area, which in a main window begins below the menu
// bar, and keeps it wholly on the parent's screen, as the dialog manager
// does. A dialog without a parent stays where it is.
void PlaceOverParent(QWidget& dialog, const DialogUnits& units, int x, int y);
