#include "app/help/ferry_about_dlg.h"

#include "app/help/t_drawable_button.h"
#include "widgets/dialog_panel.h"
#include "widgets/dialog_units.h"
#include "widgets/glyph_button.h"

#include <QImage>
#include <QLabel>

namespace {

constexpr int kDialogX = 82;
constexpr int kDialogY = 21;
constexpr int kDialogWidth = 240;
constexpr int kDialogHeight = 142;

constexpr int kBitmapPanelId = 22006;
constexpr int kUnaddressed = 65535;

// Rectangles in dialog units: x, y, width, height.
struct UnitRect
{
    int x;
    int y;
    int width;
    int height;
};

constexpr UnitRect kBackground{0, 0, 240, 142};
constexpr UnitRect kTextFrame{141, 6, 96, 68};
constexpr UnitRect kTitle{145, 11, 88, 9};
constexpr UnitRect kVersion{145, 23, 88, 9};
constexpr UnitRect kOk{174, 97, 29, 21};
constexpr UnitRect kBitmapPanel{15, 4, 110, 134};

QRect ToPixels(const DialogUnits& units, const UnitRect& r)
{
    return units.ToPixels(r.x, r.y, r.width, r.height);
}

QLabel* CentredText(const char* text, const char* name, QWidget* dialog)
{
    auto* label = new QLabel(QString::fromLatin1(text), dialog);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setProperty("controlId", kUnaddressed);
    return label;
}

} // namespace

ferryAboutDlg::ferryAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("About ferry"));
    setModal(true);
    setFont(DialogFont());
    ApplyDialogFace(this);

    const DialogUnits units(font());
    setFixedSize(units.ToPixelsX(kDialogWidth), units.ToPixelsY(kDialogHeight));
    createControls(units);
    placeOverParent(units);
}

void ferryAboutDlg::createControls(const DialogUnits& units)
{
    auto* background = new ShadePanel(ShadePanel::Kind::RecessedGroup, this);
    background->setObjectName(QStringLiteral("backgroundPanel"));
    background->setGeometry(ToPixels(units, kBackground));

    auto* frame = new ShadePanel(ShadePanel::Kind::RecessedGroup, this);
    frame->setObjectName(QStringLiteral("textFrame"));
    frame->setGeometry(ToPixels(units, kTextFrame));

    CentredText("TFTP Daemon", "titleText", this)->setGeometry(ToPixels(units, kTitle));
    CentredText("Version 1.6", "versionText", this)->setGeometry(ToPixels(units, kVersion));

    auto* ok = new GlyphButton(GlyphButton::Face::Ok, this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setProperty("controlId", 1);
    ok->setGeometry(ToPixels(units, kOk));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    panel = new TDrawableButton(QImage(QStringLiteral(":/about/about.bmp")), this);
    panel->setObjectName(QStringLiteral("bitmapPanel"));
    panel->setProperty("controlId", kBitmapPanelId);
    panel->setGeometry(ToPixels(units, kBitmapPanel));

    // The panels only frame; the whole-box one lies beneath everything.
    frame->lower();
    background->lower();
    ok->setFocus();
}

// Placed from the parent's client area, which in a main window begins below
// the menu bar, and kept wholly on the parent's screen, as the dialog
// manager does.
void ferryAboutDlg::placeOverParent(const DialogUnits& units)
{
    PlaceOverParent(*this, units, kDialogX, kDialogY);
}
