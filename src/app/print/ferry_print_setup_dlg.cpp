#include "app/print/ferry_print_setup_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The sizes offered for a printer that names none of its own (one that
// writes a file).
const QPageSize::PageSizeId kCommonSizes[] = {
    QPageSize::A3,     QPageSize::A4,    QPageSize::A5,       QPageSize::B5,
    QPageSize::Letter, QPageSize::Legal, QPageSize::Executive};

constexpr double kMostMarginMm = 100.0;

} // namespace

ferryPrintSetupDlg::ferryPrintSetupDlg(QPrinter& printer, QWidget* parent)
    : QDialog(parent)
    , target(printer)
    , printers(new QComboBox)
    , type(new QLabel)
    , where(new QLabel)
    , papers(new QComboBox)
    , portraitButton(new QRadioButton(tr("P&ortrait")))
    , landscapeButton(new QRadioButton(tr("L&andscape")))
{
    setWindowTitle(tr("Print Setup"));
    printers->setObjectName(QStringLiteral("printerName"));
    papers->setObjectName(QStringLiteral("paperSize"));
    portraitButton->setObjectName(QStringLiteral("portrait"));
    landscapeButton->setObjectName(QStringLiteral("landscape"));

    // A printer that writes a file keeps doing so unless another is chosen.
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    if (toFile)
        printers->addItem(tr("Print to File (PDF)"), QString());
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        printers->addItem(name, name);
    printers->setCurrentIndex(toFile ? 0 : std::max(0, printers->findData(printer.printerName())));

    auto* printerBox = new QGroupBox(tr("Printer"));
    auto* printerForm = new QFormLayout(printerBox);
    printerForm->addRow(tr("&Name:"), printers);
    printerForm->addRow(tr("Type:"), type);
    printerForm->addRow(tr("Where:"), where);

    auto* paperBox = new QGroupBox(tr("Paper"));
    auto* paperForm = new QFormLayout(paperBox);
    paperForm->addRow(tr("Si&ze:"), papers);

    const QPageLayout page = printer.pageLayout();
    auto* orientationBox = new QGroupBox(tr("Orientation"));
    auto* orientation = new QVBoxLayout(orientationBox);
    orientation->addWidget(portraitButton);
    orientation->addWidget(landscapeButton);
    (page.orientation() == QPageLayout::Landscape ? landscapeButton : portraitButton)
        ->setChecked(true);

    auto* marginBox = new QGroupBox(tr("Margins (millimetres)"));
    auto* marginGrid = new QGridLayout(marginBox);
    const QMarginsF now = page.margins(QPageLayout::Millimeter);
    const double values[4] = {now.left(), now.top(), now.right(), now.bottom()};
    const char* names[4] = {"marginLeft", "marginTop", "marginRight", "marginBottom"};
    const QString labels[4] = {tr("&Left:"), tr("&Top:"), tr("&Right:"), tr("&Bottom:")};
    for (int side = 0; side < 4; ++side) {
        margins[side] = new QDoubleSpinBox;
        margins[side]->setObjectName(QLatin1String(names[side]));
        margins[side]->setDecimals(1);
        margins[side]->setRange(0.0, kMostMarginMm);
        margins[side]->setValue(values[side]);
        auto* label = new QLabel(labels[side]);
        label->setBuddy(margins[side]);
        // Left and right side by side, top and bottom below them.
        const int row = side % 2;
        const int column = side / 2 * 2;
        marginGrid->addWidget(label, row, column);
        marginGrid->addWidget(margins[side], row, column + 1);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &ferryPrintSetupDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ferryPrintSetupDlg::reject);

    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(orientationBox);
    pageRow->addWidget(marginBox, 1);
    auto* column = new QVBoxLayout(this);
    column->addWidget(printerBox);
    column->addWidget(paperBox);
    column->addLayout(pageRow);
    column->addWidget(buttons);

    connect(printers, &QComboBox::currentIndexChanged, this, &ferryPrintSetupDlg::showPrinter);
    showPrinter();
}

// The paper sizes follow the printer chosen; the size chosen before stays
// when the new printer has it too.
void ferryPrintSetupDlg::showPrinter()
{
    const QString name = printers->currentData().toString();
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    type->setText(info.isNull() ? QString() : info.makeAndModel());
    where->setText(info.isNull() ? QString() : info.location());
    fillPapers(name);
}

void ferryPrintSetupDlg::fillPapers(const QString& printerName)
{
    const int previous = papers->count() > 0
                             ? papers->currentData().toInt()
                             : static_cast<int>(target.pageLayout().pageSize().id());
    QList<QPageSize> sizes = QPrinterInfo::printerInfo(printerName).supportedPageSizes();
    if (sizes.isEmpty()) {
        for (QPageSize::PageSizeId id : kCommonSizes)
            sizes << QPageSize(id);
    }
    const QSignalBlocker quiet(papers);
    papers->clear();
    for (const QPageSize& size : sizes) {
        if (size.id() != QPageSize::Custom && papers->findData(size.id()) < 0)
            papers->addItem(size.name(), static_cast<int>(size.id()));
    }
    const int kept = papers->findData(previous);
    const int fallback = papers->findData(static_cast<int>(QPageSize::A4));
    papers->setCurrentIndex(kept >= 0 ? kept : std::max(0, fallback));
}

void ferryPrintSetupDlg::accept()
{
    const QString name = printers->currentData().toString();
    if (!name.isEmpty() && name != target.printerName()) {
        target.setOutputFileName(QString());
        target.setPrinterName(name);
    }
    QPageLayout page = target.pageLayout();
    page.setUnits(QPageLayout::Millimeter);
    page.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(papers->currentData().toInt())));
    page.setOrientation(landscapeButton->isChecked() ? QPageLayout::Landscape
                                                     : QPageLayout::Portrait);
    // A printer cannot print closer to the edge than its own margins.
    const QMarginsF least = page.minimumMargins();
    page.setMargins(QMarginsF(std::max(margins[0]->value(), least.left()),
                              std::max(margins[1]->value(), least.top()),
                              std::max(margins[2]->value(), least.right()),
                              std::max(margins[3]->value(), least.bottom())));
    target.setPageLayout(page);
    QDialog::accept();
}
