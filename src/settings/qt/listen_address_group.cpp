#include "settings/qt/listen_address_group.h"

#include "platform/interface_addresses.h"
#include "settings/listen_address.h"
#include "settings/server_settings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

std::function<ListenerState()> listenerQuery;

// How often the note line looks again whether transfers run.
constexpr int kNoteRefreshMs = 500;

QString Sentence(const char* clause)
{
    QString text = QString::fromUtf8(clause);
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text + QLatin1Char('.');
}

// True when `wanted` is the unspecified address or one of this machine's.
bool OnThisMachine(const SocketAddress& wanted)
{
    if (IsUnspecified(wanted))
        return true;
    for (const InterfaceAddress& item : MachineAddresses()) {
        SocketAddress address;
        if (ParseHost(item.address.c_str(), &address) == HostSyntax::Ok &&
            SamePeer(address, wanted))
            return true;
    }
    return false;
}

} // namespace

ListenAddressGroup::ListenAddressGroup(QWidget* parent)
    : PreferencesGroup(QStringLiteral("Listen for requests on"), parent)
{
    setObjectName(QStringLiteral("listenAddressGroup"));
    allIpv4Radio = new QRadioButton(QStringLiteral("All IPv4 addresses"), this);
    allAddressesRadio = new QRadioButton(QStringLiteral("All IPv4 and IPv6 addresses"), this);
    machineAddressRadio = new QRadioButton(QStringLiteral("This machine's"), this);
    machineAddressList = new QComboBox(this);
    typedAddressRadio = new QRadioButton(QStringLiteral("This address"), this);
    typedAddressEdit = new QLineEdit(this);
    typedAddressEdit->setMaxLength(255);
    note = new QLabel(this);
    note->setTextFormat(Qt::PlainText);
    note->setMinimumHeight(note->fontMetrics().height());

    allIpv4Radio->setObjectName(QStringLiteral("allIpv4Radio"));
    allAddressesRadio->setObjectName(QStringLiteral("allAddressesRadio"));
    machineAddressRadio->setObjectName(QStringLiteral("machineAddressRadio"));
    machineAddressList->setObjectName(QStringLiteral("machineAddressList"));
    typedAddressRadio->setObjectName(QStringLiteral("typedAddressRadio"));
    typedAddressEdit->setObjectName(QStringLiteral("typedAddressEdit"));
    note->setObjectName(QStringLiteral("listenNote"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(2);
    grid->addWidget(allIpv4Radio, 0, 0);
    grid->addWidget(allAddressesRadio, 0, 1);
    grid->addWidget(machineAddressRadio, 1, 0);
    grid->addWidget(machineAddressList, 1, 1);
    grid->addWidget(typedAddressRadio, 2, 0);
    grid->addWidget(typedAddressEdit, 2, 1);
    grid->addWidget(note, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    fillAddressList();

    // Picking from the list or typing chooses that row.
    connect(machineAddressList, &QComboBox::activated, this, [this] {
        machineAddressRadio->setChecked(true);
        updateNote();
    });
    connect(typedAddressEdit, &QLineEdit::textEdited, this, [this] {
        typedAddressRadio->setChecked(true);
        problem.clear();
        updateNote();
    });
    for (QRadioButton* radio :
         {allIpv4Radio, allAddressesRadio, machineAddressRadio, typedAddressRadio})
        connect(radio, &QRadioButton::toggled, this, [this] { updateNote(); });
    // Transfers start and end while the dialog is open.
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &ListenAddressGroup::updateNote);
    refresh->start(kNoteRefreshMs);
}

void ListenAddressGroup::setListenerQuery(std::function<ListenerState()> query)
{
    listenerQuery = std::move(query);
}

void ListenAddressGroup::fillAddressList()
{
    for (const InterfaceAddress& item : MachineAddresses()) {
        const QString address = QString::fromStdString(item.address);
        machineAddressList->addItem(address + QStringLiteral("  (") +
                                        QString::fromStdString(item.interfaceName) +
                                        QLatin1Char(')'),
                                    address);
    }
    if (machineAddressList->count() == 0) {
        machineAddressRadio->setEnabled(false);
        machineAddressList->setEnabled(false);
    }
}

void ListenAddressGroup::showSettings()
{
    const QString setting = QString::fromUtf8(serverSettings.listenAddress);
    const int listed = machineAddressList->findData(setting);
    typedAddressEdit->clear();
    if (setting.isEmpty()) {
        allIpv4Radio->setChecked(true);
    } else if (setting == QStringLiteral("::")) {
        allAddressesRadio->setChecked(true);
    } else if (listed >= 0) {
        machineAddressList->setCurrentIndex(listed);
        machineAddressRadio->setChecked(true);
    } else {
        typedAddressEdit->setText(setting);
        typedAddressRadio->setChecked(true);
    }
    problem.clear();
    updateNote();
}

std::string ListenAddressGroup::chosenSetting() const
{
    if (allAddressesRadio->isChecked())
        return "::";
    if (machineAddressRadio->isChecked())
        return machineAddressList->currentData().toString().toStdString();
    if (typedAddressRadio->isChecked())
        return typedAddressEdit->text().trimmed().toStdString();
    return "";
}

// A typed address must be one the server could listen on now, or the next
// start would end with a failure box instead of serving.
bool ListenAddressGroup::choiceAcceptable()
{
    if (!typedAddressRadio->isChecked())
        return true;
    const std::string setting = chosenSetting();
    SocketAddress address;
    ListenProblem why = ParseListenAddress(setting.c_str(), &address);
    if (setting.empty())
        why = ListenProblem::NotAnAddress;
    else if (why == ListenProblem::None && !OnThisMachine(address))
        why = ListenProblem::NotOnThisMachine;
    if (why == ListenProblem::None)
        return true;
    problem = Sentence(ListenProblemReason(why));
    updateNote();
    typedAddressEdit->setFocus();
    typedAddressEdit->selectAll();
    return false;
}

void ListenAddressGroup::storeSettings()
{
    std::snprintf(serverSettings.listenAddress, sizeof serverSettings.listenAddress, "%s",
                  chosenSetting().c_str());
}

void ListenAddressGroup::updateNote()
{
    if (!problem.isEmpty()) {
        note->setText(problem);
        return;
    }
    if (!listenerQuery) {
        note->clear();
        return;
    }
    const ListenerState state = listenerQuery();
    if (state.transfersRunning && chosenSetting() != state.setting)
        note->setText(QStringLiteral("Transfers are running: the change takes effect at the next "
                                     "start."));
    else
        note->setText(QStringLiteral("Now listening on ") +
                      QString::fromStdString(state.description) + QLatin1Char('.'));
}
