#pragma once

// A check box that does not toggle itself when clicked: its owner decides
// the new state in its clicked handler, as with a non-automatic check box.

#include <QCheckBox>

class ManualCheckBox : public QCheckBox
{
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
};
