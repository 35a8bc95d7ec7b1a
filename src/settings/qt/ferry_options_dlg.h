#pragma once

// The Preferences dialog: shows the four settings of ServerSettings, and on
// OK stores them there, where the service sees them at its next use, and
// writes them to ferry.ini. It keeps no copy of the settings.

#include <QDialog>

#include <vector>

class QCheckBox;
class QLineEdit;
class DialogUnits;
class GlyphButton;
class PreferencesGroup;

class ferryOptionsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ferryOptionsDlg(QWidget* parent);

private:
    void createControls(const DialogUnits& units);
    void addGroups(const DialogUnits& units);
    void placeOverParent(const DialogUnits& units);
    void showSettings();

    void readOnlyClicked();
    void readWriteClicked();
    void diagnosticsClicked();
    void okClicked();
    void helpClicked();

    QLineEdit* defaultDirectoryEdit = nullptr;
    QLineEdit* restrictDirectoryEdit = nullptr;
    QCheckBox* readOnlyBox = nullptr;
    QCheckBox* readWriteBox = nullptr;
    QCheckBox* diagnosticsBox = nullptr;
    GlyphButton* okButton = nullptr;
    GlyphButton* cancelButton = nullptr;
    GlyphButton* helpButton = nullptr;
    // The groups below the original settings, top to bottom.
    std::vector<PreferencesGroup*> groups;
};
