#include "app/help/t_drawable_button.h"

#include "widgets/dialog_panel.h"

#include <QColor>
#include <QPainter>

TDrawableButton::TDrawableButton(const QImage& bitmap, QWidget* parent)
    : QAbstractButton(parent)
    , picture(bitmap)
{
    // Clicking the picture must not take the focus from OK, or Enter would
    // press a button that does nothing.
    setFocusPolicy(Qt::NoFocus);
}

// The widget is repainted whole whenever its state changes, so a focus change
// and a press both get exactly this picture again: the panel never shows a
// focus mark or a pressed look.
void TDrawableButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawPanel(painter, rect());
}

void TDrawableButton::drawPanel(QPainter& painter, const QRect& item) const
{
    const QColor lightGrey = QColor::fromRgb(kFaceGrey);
    const QColor grey = QColor::fromRgb(kShadowGrey);
    const QColor white = QColor::fromRgb(kHighlightWhite);

    // A light-grey face inside a one-pixel black outline.
    painter.fillRect(item, lightGrey);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(item.adjusted(0, 0, -1, -1));

    // Inside the outline, two-pixel bands: white along the top and left, then
    // grey along the bottom and right, painted last so that grey wins at the
    // top-right and bottom-left corners where the bands cross.
    const QRect inner = item.adjusted(1, 1, -1, -1);
    const int w = inner.width();
    const int h = inner.height();
    painter.fillRect(inner.left(), inner.top(), w, 2, white);
    painter.fillRect(inner.left(), inner.top(), 2, h, white);
    painter.fillRect(inner.left(), inner.bottom() - 1, w, 2, grey);
    painter.fillRect(inner.right() - 1, inner.top(), 2, h, grey);

    // The picture starts on the second white row and column and leaves a
    // one-pixel light-grey gap before the grey bands. Stretched without
    // smoothing, so its sixteen colours stay sixteen.
    if (!picture.isNull() && w > 4 && h > 4) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRect(item.left() + 2, item.top() + 2, w - 4, h - 4), picture);
    }
}
