#include "widgets/glyph_button.h"

#include "widgets/dialog_panel.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace {

constexpr QRgb kOkGreen = 0xFF008000;
constexpr QRgb kCancelRed = 0xFFC00000;
constexpr QRgb kHelpBlue = 0xFF0000C0;

} // namespace

GlyphButton::GlyphButton(Face face, QWidget* parent)
    : QPushButton(parent)
    , buttonFace(face)
{
    // Screen readers get the word the face shows.
    setAccessibleName(word());
}

QString GlyphButton::word() const
{
    switch (buttonFace) {
    case Face::Ok:
        return QStringLiteral("OK");
    case Face::Cancel:
        return QStringLiteral("Cancel");
    case Face::Help:
        return QStringLiteral("Help");
    }
    return {};
}

void GlyphButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawBevel(painter);

    // A pressed button shows its face one pixel down and to the right, as if
    // pushed into the panel.
    const int shift = isDown() ? 1 : 0;
    const QRect inside = rect().adjusted(4 + shift, 3 + shift, -4 + shift, -3 + shift);
    const QFontMetrics metrics(font());
    const QRect wordArea(inside.left(), inside.bottom() - metrics.height() + 1, inside.width(),
                         metrics.height());
    const QRect glyphArea(inside.left(), inside.top(), inside.width(),
                          wordArea.top() - inside.top());

    drawGlyph(painter, glyphArea);

    painter.setPen(isEnabled() ? QColor(Qt::black) : QColor::fromRgb(kShadowGrey));
    painter.setFont(font());
    painter.drawText(wordArea, Qt::AlignCenter, word());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = metrics.boundingRect(wordArea, Qt::AlignCenter, word()).adjusted(-2, 0, 2, 0);
        focus.backgroundColor = QColor::fromRgb(kFaceGrey);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void GlyphButton::drawBevel(QPainter& painter) const
{
    const QColor black(Qt::black);
    const QColor shadow = QColor::fromRgb(kShadowGrey);
    const QColor light = QColor::fromRgb(kHighlightWhite);
    painter.fillRect(rect(), QColor::fromRgb(kFaceGrey));

    QRect r = rect().adjusted(0, 0, -1, -1);
    // The default button wears a black outline: Enter presses it.
    if (isDefault()) {
        painter.setPen(black);
        painter.drawRect(r);
        r.adjust(1, 1, -1, -1);
    }

    if (isDown()) {
        painter.setPen(shadow);
        painter.drawRect(r);
        return;
    }

    // Raised: light on the top and left, a black outer and a grey inner
    // shadow on the bottom and right.
    painter.setPen(light);
    painter.drawLine(r.topLeft(), r.topRight() - QPoint(1, 0));
    painter.drawLine(r.topLeft(), r.bottomLeft() - QPoint(0, 1));
    painter.setPen(black);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    painter.setPen(shadow);
    painter.drawLine(r.bottomLeft() + QPoint(1, -1), r.bottomRight() - QPoint(1, 1));
    painter.drawLine(r.topRight() + QPoint(-1, 1), r.bottomRight() - QPoint(1, 1));
}

void GlyphButton::drawGlyph(QPainter& painter, const QRect& area) const
{
    const int side = std::min(area.width(), area.height());
    if (side < 4) {
        return;
    }
    const QRectF box(area.center().x() - side / 2.0 + 0.5, area.center().y() - side / 2.0 + 0.5,
                     side, side);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal stroke = std::max(2.0, side / 6.0);

    switch (buttonFace) {
    case Face::Ok: {
        QPainterPath tick;
        tick.moveTo(box.left() + side * 0.12, box.top() + side * 0.55);
        tick.lineTo(box.left() + side * 0.40, box.top() + side * 0.85);
        tick.lineTo(box.left() + side * 0.90, box.top() + side * 0.15);
        painter.setPen(QPen(isEnabled() ? QColor::fromRgb(kOkGreen) : QColor::fromRgb(kShadowGrey),
                            stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(tick);
        break;
    }
    case Face::Cancel: {
        const QRectF cross = box.adjusted(side * 0.18, side * 0.18, -side * 0.18, -side * 0.18);
        painter.setPen(
            QPen(isEnabled() ? QColor::fromRgb(kCancelRed) : QColor::fromRgb(kShadowGrey), stroke,
                 Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
        break;
    }
    case Face::Help: {
        QFont mark = font();
        mark.setBold(true);
        mark.setPixelSize(std::max(6, side * 5 / 4));
        painter.setFont(mark);
        painter.setPen(isEnabled() ? QColor::fromRgb(kHelpBlue) : QColor::fromRgb(kShadowGrey));
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
    painter.restore();
}
