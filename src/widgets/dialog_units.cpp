#include "widgets/dialog_units.h"

#include <QFontMetrics>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdint>

QFont DialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

namespace {

// The average is taken over the 52 letters and rounded, not over the font's
// whole character set, so it matches the figure the templates were laid
// out with.
int MeasureAverageCharWidth(const QFontMetrics& metrics)
{
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (letters / 26 + 1) / 2;
}

} // namespace

DialogUnits::DialogUnits(const QFont& font)
    : DialogUnits(MeasureAverageCharWidth(QFontMetrics(font)), QFontMetrics(font).height())
{
}

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : baseWidth(averageCharWidth)
    , baseHeight(charHeight)
{
}

int DialogUnits::ToPixelsX(int units) const
{
    return MulDiv(units, baseWidth, 4);
}

int DialogUnits::ToPixelsY(int units) const
{
    return MulDiv(units, baseHeight, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const
{
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

int MulDiv(int a, int b, int c)
{
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t magnitude = (2 * (product < 0 ? -product : product) + c) / (2 * c);
    return static_cast<int>(product < 0 ? -magnitude : magnitude);
}

void PlaceOverParent(QWidget& dialog, const DialogUnits& units, int x, int y)
{
    const QWidget* owner = dialog.parentWidget();
    if (owner == nullptr)
        return;
    QPoint client(0, 0);
    if (const auto* frame = qobject_cast<const QMainWindow*>(owner)) {
        const QWidget* menu = frame->menuWidget();
        if (menu != nullptr && menu->isVisible())
            client.setY(menu->geometry().bottom() + 1);
    }
    QPoint origin = owner->mapToGlobal(client) + QPoint(units.ToPixelsX(x), units.ToPixelsY(y));
    if (const QScreen* screen = owner->screen()) {
        const QRect area = screen->availableGeometry();
        const int right = std::max(area.left(), area.right() + 1 - dialog.width());
        const int bottom = std::max(area.top(), area.bottom() + 1 - dialog.height());
        origin.setX(std::clamp(origin.x(), area.left(), right));
        origin.setY(std::clamp(origin.y(), area.top(), bottom));
    }
    dialog.move(origin);
}
