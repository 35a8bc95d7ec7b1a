#include "app/print/printing_dialog.h"

#include "widgets/dialog_units.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

namespace {

// The box's template, in dialog units.
constexpr int kDialogX = 84;
constexpr int kDialogY = 51;
constexpr int kDialogWidth = 130;
constexpr int kDialogHeight = 60;

// Fills the template's %d and %s in order, as the window system's
// formatter does.
QString FillIn(QString text, const QStringList& values)
{
    qsizetype from = 0;
    for (const QString& value : values) {
        qsizetype at = from;
        while ((at = text.indexOf(QLatin1Char('%'), at)) >= 0 && at + 1 < text.size() &&
               text.at(at + 1) != QLatin1Char('s') && text.at(at + 1) != QLatin1Char('d'))
            ++at;
        if (at < 0 || at + 1 >= text.size())
            break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

} // namespace

PrintingDialog::PrintingDialog(QWidget* parent, const QString& title, const QString& device,
                               const QString& port)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("printingDialog"));
    // The owner is disabled while the job runs; being modal to it also
    // keeps the window system from closing it under the job.
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Printing"));
    setFont(DialogFont());
    const DialogUnits units(font());
    setFixedSize(units.ToPixelsX(kDialogWidth), units.ToPixelsY(kDialogHeight));

    auto line = [this, &units](const char* name, const QString& text, bool visible) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setGeometry(units.ToPixels(0, 8, kDialogWidth, 8));
        label->setVisible(visible);
        return label;
    };
    pageLine = line("pageLine", tr("Now printing Page %d of"), false);
    nowPrintingLine = line("nowPrintingLine", tr("Now printing"), true);
    QLabel* titleLine = line("titleLine", FillIn(tr("'%s' on the"), {title}), true);
    titleLine->setGeometry(units.ToPixels(0, 16, kDialogWidth, 8));
    // The template keeps an empty line here that it never shows.
    line("unusedLine", QString(), false)->setGeometry(units.ToPixels(0, 24, kDialogWidth, 8));
    QLabel* deviceLine = line("deviceLine", FillIn(tr("%s on %s"), {device, port}), true);
    deviceLine->setGeometry(units.ToPixels(0, 24, kDialogWidth, 8));

    cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setGeometry(units.ToPixels(46, 40, 40, 14));
    cancelButton->setDefault(true);
    connect(cancelButton, &QPushButton::clicked, this, &PrintingDialog::reject);

    placeOverParent();
}

void PrintingDialog::setPage(int page)
{
    if (page <= 0)
        return;
    pageLine->setText(FillIn(tr("Now printing Page %d of"), {QString::number(page)}));
    pageLine->show();
    nowPrintingLine->hide();
}

void PrintingDialog::reject()
{
    cancelled = true;
    cancelButton->setEnabled(false);
}

void PrintingDialog::closeEvent(QCloseEvent* event)
{
    // Only the end of the job closes the box.
    event->ignore();
}

// The template places the box relative to the owner's client area, below
// its menu bar.
void PrintingDialog::placeOverParent()
{
    PlaceOverParent(*this, DialogUnits(font()), kDialogX, kDialogY);
}
