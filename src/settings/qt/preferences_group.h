#pragma once

// A group of settings that Set Preferences shows below its original four,
// for what the server can do beyond them. The dialog lays the groups out in
// order between the settings' frame and its buttons, shows the settings in
// each when it opens and, on OK, has each store its own before the file is
// written.

#include <QGroupBox>

class PreferencesGroup : public QGroupBox
{
    Q_OBJECT

public:
    using QGroupBox::QGroupBox;

    // Shows what ServerSettings holds now.
    virtual void showSettings() = 0;
    // Puts the operator's choice into ServerSettings.
    virtual void storeSettings() = 0;

    // False when the choice cannot be stored as it stands; the group then
    // shows why and puts the focus where the fault is, and OK keeps the
    // dialog open with nothing stored.
    virtual bool choiceAcceptable() { return true; }
};
