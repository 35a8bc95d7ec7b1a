#pragma once

// The picture panel of the About box: a button that only shows a bitmap in a
// raised grey frame. It has no behaviour on click, and its look never changes
// with focus or with being pressed.

#include <QAbstractButton>
#include <QImage>

class TDrawableButton : public QAbstractButton
{
    Q_OBJECT

public:
    // A null `bitmap` leaves the inside of the frame light grey.
    TDrawableButton(const QImage& bitmap, QWidget* parent);

    const QImage& bitmap() const { return picture; }

    // Draws the whole panel into `item`, whose top-left corner is the
    // panel's origin.
    void drawPanel(QPainter& painter, const QRect& item) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture;
};
