#include "settings/qt/ferry_options_dlg.h"

#include "settings/qt/listen_address_group.h"
#include "settings/qt/preferences_group.h"
#include "settings/qt/transfer_options_group.h"
#include "settings/server_settings.h"
#include "settings/settings_store.h"
#include "widgets/dialog_panel.h"
#include "widgets/dialog_units.h"
#include "widgets/glyph_button.h"
#include "widgets/help_request.h"
#include "widgets/manual_check_box.h"

#include <QByteArray>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

enum class ControlKind
{
    Panel,
    Dip,
    Edit,
    AutoCheck,
    ManualCheck,
    Button,
    Text,
};

// One control of the dialog's template: its id, the object name tests and
// the help pages address it by, and its rectangle in dialog units.
struct TemplateControl
{
    ControlKind kind;
    int id;
    const char* name;
    const char* text;
    int x;
    int y;
    int width;
    int height;
};

constexpr int kUnaddressed = 65535;

// In template order, which is also the tab order. The texts are the
// dialog's own, spelling included.
constexpr TemplateControl kTemplate[] = {
    {ControlKind::Panel, kUnaddressed, "backgroundPanel", "", -1, 0, 248, 227},
    {ControlKind::Panel, kUnaddressed, "settingsPanel", "", 4, 4, 240, 190},
    {ControlKind::Edit, 322, "defaultDirectoryEdit", "", 21, 51, 207, 12},
    {ControlKind::Edit, 324, "restrictDirectoryEdit", "", 21, 99, 207, 12},
    {ControlKind::AutoCheck, 320, "readOnlyBox", "Read Only", 11, 142, 54, 10},
    {ControlKind::AutoCheck, 321, "readWriteBox", "Read Write", 73, 142, 54, 10},
    {ControlKind::ManualCheck, 323, "diagnosticsBox", "Diagnotic Messages", 11, 176, 75, 10},
    {ControlKind::Button, 1, "okButton", "", 60, 196, 29, 21},
    {ControlKind::Button, 2, "cancelButton", "", 110, 196, 29, 21},
    {ControlKind::Button, 998, "helpButton", "", 157, 196, 29, 21},
    {ControlKind::Text, kUnaddressed, "defaultText1",
     "A default directory for the TFTP daemon to read and write files from ", 9, 9, 227, 8},
    {ControlKind::Text, kUnaddressed, "defaultText2",
     "can be specified. File requests without a directory specification will", 9, 17, 227, 8},
    {ControlKind::Text, kUnaddressed, "defaultDirectoryLabel", "Default file transfer directory",
     80, 39, 116, 9},
    {ControlKind::Text, kUnaddressed, "accessText1",
     "The TFDP daemon can be set to read only or read and write. In read", 9, 122, 231, 8},
    {ControlKind::Text, kUnaddressed, "accessText2",
     "only mode, file write requests to your system will be rejected.", 9, 131, 231, 9},
    {ControlKind::Dip, kUnaddressed, "defaultDirectoryDip", "", 8, 68, 231, 1},
    {ControlKind::Dip, kUnaddressed, "accessDip", "", 6, 158, 232, 1},
    {ControlKind::Text, kUnaddressed, "diagnosticsText",
     "To see extra program diagnostic messages click the control below on", 9, 164, 231, 8},
    {ControlKind::Text, kUnaddressed, "defaultText3", "use this directory. ", 9, 25, 227, 11},
    {ControlKind::Text, kUnaddressed, "restrictText",
     "To aid security, file access can be restricted to one directory.", 9, 75, 231, 9},
    {ControlKind::Text, kUnaddressed, "restrictDirectoryLabel", "Restrict to directory", 93, 88, 95,
     8},
    {ControlKind::Dip, kUnaddressed, "restrictDirectoryDip", "", 8, 116, 231, 1},
};

constexpr int kDialogX = 23;
constexpr int kDialogY = 19;
constexpr int kDialogWidth = 246;
constexpr int kDialogHeight = 226;
// Groups beyond the original settings start where the buttons stood; the
// buttons move down below the last of them.
constexpr int kGroupsTop = 196;
constexpr int kGroupGap = 4;

GlyphButton::Face FaceOf(int id)
{
    switch (id) {
    case 1:
        return GlyphButton::Face::Ok;
    case 2:
        return GlyphButton::Face::Cancel;
    default:
        return GlyphButton::Face::Help;
    }
}

QWidget* CreateControl(const TemplateControl& control, QWidget* dialog)
{
    const QString text = QString::fromLatin1(control.text);
    switch (control.kind) {
    case ControlKind::Panel:
        return new ShadePanel(ShadePanel::Kind::RecessedGroup, dialog);
    case ControlKind::Dip:
        return new ShadePanel(ShadePanel::Kind::HorizontalDip, dialog);
    case ControlKind::Edit:
        return new QLineEdit(dialog);
    case ControlKind::AutoCheck:
        return new QCheckBox(text, dialog);
    case ControlKind::ManualCheck:
        return new ManualCheckBox(text, dialog);
    case ControlKind::Button:
        return new GlyphButton(FaceOf(control.id), dialog);
    case ControlKind::Text: {
        auto* label = new QLabel(text, dialog);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    }
    return nullptr;
}

// Copies a field's text into a 256-byte settings buffer: at most 255 bytes,
// cut before a character that would not fit whole, so a name in UTF-8 never
// ends in half a character.
void CopyFieldText(const QString& text, char (&out)[256])
{
    QByteArray bytes = text.toUtf8();
    const qsizetype terminator = bytes.indexOf('\0');
    if (terminator >= 0) {
        bytes.truncate(terminator);
    }
    qsizetype length = std::min<qsizetype>(bytes.size(), sizeof out - 1);
    if (length < bytes.size()) {
        while (length > 0 && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    std::memcpy(out, bytes.constData(), static_cast<std::size_t>(length));
    out[length] = '\0';
}

} // namespace

ferryOptionsDlg::ferryOptionsDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("Set Preferences"));
    setFont(DialogFont());
    ApplyDialogFace(this);

    const DialogUnits units(font());
    setFixedSize(units.ToPixelsX(kDialogWidth), units.ToPixelsY(kDialogHeight));
    createControls(units);
    addGroups(units);
    placeOverParent(units);
    showSettings();
}

void ferryOptionsDlg::createControls(const DialogUnits& units)
{
    QList<QWidget*> panels;
    for (const TemplateControl& control : kTemplate) {
        QWidget* widget = CreateControl(control, this);
        widget->setObjectName(QString::fromLatin1(control.name));
        widget->setProperty("controlId", control.id);
        widget->setGeometry(units.ToPixels(control.x, control.y, control.width, control.height));
        if (control.kind == ControlKind::Panel || control.kind == ControlKind::Dip) {
            panels.append(widget);
        }
    }
    // The panels only frame; they belong beneath everything they frame, the
    // whole-dialog one at the very bottom.
    for (auto it = panels.crbegin(); it != panels.crend(); ++it) {
        (*it)->lower();
    }

    defaultDirectoryEdit = findChild<QLineEdit*>(QStringLiteral("defaultDirectoryEdit"));
    restrictDirectoryEdit = findChild<QLineEdit*>(QStringLiteral("restrictDirectoryEdit"));
    readOnlyBox = findChild<QCheckBox*>(QStringLiteral("readOnlyBox"));
    readWriteBox = findChild<QCheckBox*>(QStringLiteral("readWriteBox"));
    diagnosticsBox = findChild<QCheckBox*>(QStringLiteral("diagnosticsBox"));
    okButton = findChild<GlyphButton*>(QStringLiteral("okButton"));
    cancelButton = findChild<GlyphButton*>(QStringLiteral("cancelButton"));
    helpButton = findChild<GlyphButton*>(QStringLiteral("helpButton"));

    okButton->setDefault(true);
    connect(readOnlyBox, &QCheckBox::clicked, this, &ferryOptionsDlg::readOnlyClicked);
    connect(readWriteBox, &QCheckBox::clicked, this, &ferryOptionsDlg::readWriteClicked);
    connect(diagnosticsBox, &QCheckBox::clicked, this, &ferryOptionsDlg::diagnosticsClicked);
    connect(okButton, &QPushButton::clicked, this, &ferryOptionsDlg::okClicked);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpButton, &QPushButton::clicked, this, &ferryOptionsDlg::helpClicked);
}

// Each group takes the frame's width and the height it asks for. The
// original controls stay where the template puts them, the buttons and the
// dialog's own bottom edge move down by what the groups take, and the
// keyboard reaches the groups after the original settings, before OK.
void ferryOptionsDlg::addGroups(const DialogUnits& units)
{
    // The groups, top to bottom.
    groups.push_back(new ListenAddressGroup(this));
    groups.push_back(new TransferOptionsGroup(this));
    if (groups.empty())
        return;
    const QRect frame = units.ToPixels(4, kGroupsTop, 240, 0);
    int y = frame.top();
    QWidget* previous = diagnosticsBox;
    for (PreferencesGroup* group : groups) {
        // A group with wrapped text is as tall as that text needs at this width.
        const int height =
            std::max(group->sizeHint().height(),
                     group->hasHeightForWidth() ? group->heightForWidth(frame.width()) : 0);
        group->setGeometry(frame.left(), y, frame.width(), height);
        y += height + units.ToPixelsY(kGroupGap);
        // The group box itself takes no focus; its controls do, in the
        // order the group made them.
        for (QWidget* control : group->findChildren<QWidget*>()) {
            if ((control->focusPolicy() & Qt::TabFocus) == 0)
                continue;
            setTabOrder(previous, control);
            previous = control;
        }
    }
    const int shift = y - frame.top();
    for (GlyphButton* button : {okButton, cancelButton, helpButton}) {
        button->move(button->x(), button->y() + shift);
        setTabOrder(previous, button);
        previous = button;
    }
    if (auto* background = findChild<QWidget*>(QStringLiteral("backgroundPanel")))
        background->resize(background->width(), background->height() + shift);
    setFixedSize(width(), height() + shift);
}

// The template places the dialog relative to its parent's client area,
// which in a main window begins below the menu bar. Like the dialog manager,
// keep the dialog wholly on the parent's screen when that spot would push it
// off.
void ferryOptionsDlg::placeOverParent(const DialogUnits& units)
{
    PlaceOverParent(*this, units, kDialogX, kDialogY);
}

void ferryOptionsDlg::showSettings()
{
    defaultDirectoryEdit->setText(QString::fromUtf8(serverSettings.defaultDirectory));
    restrictDirectoryEdit->setText(QString::fromUtf8(serverSettings.restrictDirectory));
    readOnlyBox->setChecked(serverSettings.readWrite == 0);
    readWriteBox->setChecked(serverSettings.readWrite != 0);
    diagnosticsBox->setChecked(serverSettings.diagnostics == 1);
    for (PreferencesGroup* group : groups)
        group->showSettings();
}

// The access boxes toggle themselves; each then clears its partner. Clicking
// the box already checked therefore leaves both clear, and OK, which looks
// only at "Read Only", then stores read-write.
void ferryOptionsDlg::readOnlyClicked()
{
    readWriteBox->setChecked(false);
}

void ferryOptionsDlg::readWriteClicked()
{
    readOnlyBox->setChecked(false);
}

void ferryOptionsDlg::diagnosticsClicked()
{
    diagnosticsBox->setChecked(!diagnosticsBox->isChecked());
}

// All four settings are stored together before the file is written, so the
// service, which reads them at each use, judges the next request by the new
// values at once.
void ferryOptionsDlg::okClicked()
{
    for (PreferencesGroup* group : groups)
        if (!group->choiceAcceptable())
            return;
    CopyFieldText(defaultDirectoryEdit->text(), serverSettings.defaultDirectory);
    CopyFieldText(restrictDirectoryEdit->text(), serverSettings.restrictDirectory);
    serverSettings.readWrite = readOnlyBox->isChecked() ? 0 : 1;
    serverSettings.diagnostics = diagnosticsBox->isChecked() ? 1 : 0;
    for (PreferencesGroup* group : groups)
        group->storeSettings();
    SaveSettings();
    accept();
}

// The help opened here belongs to the dialog, not to the application: it does
// not count as help the application must close when it ends.
void ferryOptionsDlg::helpClicked()
{
    RequestDialogHelp(this, kHelpFileName, kDialogHelpContents, 0);
}
