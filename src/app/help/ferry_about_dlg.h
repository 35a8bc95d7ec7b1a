#pragma once

// The About box: the program's picture on the left and, framed at the upper
// right, its title and version, with OK below the frame. Modal; OK and
// Escape end it. The picture is loaded when the box is built and goes with
// it.

#include <QDialog>

class DialogUnits;
class TDrawableButton;

class ferryAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ferryAboutDlg(QWidget* parent);

    TDrawableButton* bitmapPanel() const { return panel; }

private:
    void createControls(const DialogUnits& units);
    void placeOverParent(const DialogUnits& units);

    TDrawableButton* panel = nullptr;
};
