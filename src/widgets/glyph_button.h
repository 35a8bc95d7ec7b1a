#pragma once

// The program's dialog buttons: a grey push button that draws its own face,
// a picture above its word (a green check mark over "OK", a red cross over
// "Cancel", a blue question mark over "Help"). The button's own text stays
// empty; the face is all the operator sees.

#include <QPushButton>
#include <QString>

class GlyphButton : public QPushButton
{
    Q_OBJECT

public:
    enum class Face
    {
        Ok,
        Cancel,
        Help,
    };

    GlyphButton(Face face, QWidget* parent);

    Face face() const { return buttonFace; }

    // The word drawn under the picture.
    QString word() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawBevel(QPainter& painter) const;
    void drawGlyph(QPainter& painter, const QRect& area) const;

    Face buttonFace;
};
