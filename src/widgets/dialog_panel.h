#pragma once

// The grey look the program's dialogs share: a light grey face, recessed
// panels that group controls, and dip lines that divide them. Panels only
// draw; they take no input and sit beneath the controls they frame.

#include <QRgb>
#include <QWidget>

constexpr QRgb kFaceGrey = 0xFFC0C0C0;
constexpr QRgb kShadowGrey = 0xFF808080;
constexpr QRgb kHighlightWhite = 0xFFFFFFFF;

// Gives a dialog the grey face behind its controls.
void ApplyDialogFace(QWidget* dialog);

class ShadePanel : public QWidget
{
    Q_OBJECT

public:
    enum class Kind
    {
        // A sunken frame: shadow on the top and left, light on the bottom
        // and right.
        RecessedGroup,
        // A groove across the dialog, shadow above and light below.
        HorizontalDip,
    };

    ShadePanel(Kind kind, QWidget* parent);

    Kind kind() const { return panelKind; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind panelKind;
};
