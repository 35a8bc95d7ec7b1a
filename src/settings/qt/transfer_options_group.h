#pragma once

// The Set Preferences group that turns option negotiation on: block size,
// window, transfer size and timeout, answered for the clients that ask.

#include "settings/qt/preferences_group.h"

class QCheckBox;
class QLabel;

class TransferOptionsGroup : public PreferencesGroup
{
    Q_OBJECT

public:
    explicit TransferOptionsGroup(QWidget* parent);

    void showSettings() override;
    void storeSettings() override;

private:
    QCheckBox* negotiateBox = nullptr;
};
