#include "widgets/dialog_panel.h"

#include <QColor>
#include <QPainter>
#include <QPalette>

void ApplyDialogFace(QWidget* dialog)
{
    // The face is always light grey, so its text is always black, whatever
    // colours the desktop theme would give a window.
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kFaceGrey));
    palette.setColor(QPalette::Button, QColor::fromRgb(kFaceGrey));
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
}

ShadePanel::ShadePanel(Kind kind, QWidget* parent)
    : QWidget(parent)
    , panelKind(kind)
{
    // Panels overlap the controls they frame; clicks must reach those.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void ShadePanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor shadow = QColor::fromRgb(kShadowGrey);
    const QColor light = QColor::fromRgb(kHighlightWhite);
    const int right = width() - 1;
    const int bottom = height() - 1;

    if (panelKind == Kind::HorizontalDip) {
        // The upper half of the groove is in shadow, the lower half in light,
        // whatever height the template gave the line.
        const int shadowRows = height() > 1 ? height() / 2 : 1;
        painter.fillRect(0, 0, width(), shadowRows, shadow);
        painter.fillRect(0, shadowRows, width(), height() - shadowRows, light);
        return;
    }

    painter.setPen(shadow);
    painter.drawLine(0, 0, right, 0);
    painter.drawLine(0, 0, 0, bottom);
    painter.setPen(light);
    painter.drawLine(1, bottom, right, bottom);
    painter.drawLine(right, 1, right, bottom);
}
