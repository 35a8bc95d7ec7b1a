#pragma once

// The Set Preferences group that chooses where the server listens: every
// IPv4 address, every IPv4 and IPv6 address, one of this machine's
// addresses, or a typed one. Its note line says where the server listens
// now, or that a change waits for the next start while transfers run.

#include "settings/qt/preferences_group.h"

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// What the running server tells the group.
struct ListenerState
{
    std::string setting;     // the ListenAddress it listens by
    std::string description; // e.g. "every IPv4 address"
    bool transfersRunning = false;
};

class ListenAddressGroup : public PreferencesGroup
{
    Q_OBJECT

public:
    explicit ListenAddressGroup(QWidget* parent);

    // The program installs this while the server runs; without it the
    // note line stays empty.
    static void setListenerQuery(std::function<ListenerState()> query);

    void showSettings() override;
    void storeSettings() override;
    bool choiceAcceptable() override;

private:
    void fillAddressList();
    // The setting the controls stand for now.
    std::string chosenSetting() const;
    void updateNote();

    QRadioButton* allIpv4Radio = nullptr;
    QRadioButton* allAddressesRadio = nullptr;
    QRadioButton* machineAddressRadio = nullptr;
    QComboBox* machineAddressList = nullptr;
    QRadioButton* typedAddressRadio = nullptr;
    QLineEdit* typedAddressEdit = nullptr;
    QLabel* note = nullptr;
    // Why the typed address was refused at OK, until it is edited.
    QString problem;
};
