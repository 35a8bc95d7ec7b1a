// The dialogs of a print job as the operator meets them, without any
// printer on the machine: the print dialog, the "Printing" box and its
// Cancel button, the error reports, and Print Setup.

#include "app/ferry_app.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app/print/ferry_print_setup_dlg.h"
#include "app/print/print_error_report.h"
#include "app/print/printer_session.h"
#include "print_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QByteArray ManyLines(int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "Sun, 06 Dec 26 01:50:00  line " + QByteArray::number(i) + "\r\n";
    return text;
}

QWidget* PrintingBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("printingDialog") && w->isVisible())
            return w;
    return nullptr;
}

QString LineText(QWidget* box, const char* name)
{
    auto* label = box->findChild<QLabel*>(QLatin1String(name));
    return label != nullptr && label->isVisible() ? label->text() : QStringLiteral("<hidden>");
}

// Accepts the print dialog with "Print to File (PDF)" going to `path`, and
// answers message boxes with Yes or OK.
std::function<void(QWidget*)> PrintToFile(const QString& path, QStringList* dialogFacts = nullptr)
{
    return [path, dialogFacts](QWidget* w) {
        if (auto* dialog = qobject_cast<QPrintDialog*>(w)) {
            if (dialogFacts != nullptr) {
                *dialogFacts << (dialog->testOption(QAbstractPrintDialog::PrintPageRange)
                                     ? QStringLiteral("page range offered")
                                     : QStringLiteral("no page range"));
                *dialogFacts << (dialog->testOption(QAbstractPrintDialog::PrintSelection)
                                     ? QStringLiteral("selection offered")
                                     : QStringLiteral("no selection"));
                *dialogFacts << PrintDialogControls(dialog);
            }
            if (auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
                file->setText(path);
            dialog->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            (yes != nullptr ? yes : box->button(QMessageBox::Ok))->click();
        }
    };
}

} // namespace

class PrintDialogsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

private slots:
    void withoutDefaultPrinterPrintAndSetupAreDisabled();
    void printDialogOffersPrinterAndCopiesOnly();
    void printingBoxNamesPageTitleAndPrinter();
    void cancelStopsTheJobAndSaysSo();
    void aFailedJobRemovesOnlyTheFileItWrote();
    void onlyARegularOrNewFileIsPrintedInto_data();
    void onlyARegularOrNewFileIsPrintedInto();
    void spoolerFailuresNameTheirReason();
    void deviceThatCannotOpenIsReportedAsPrinterError();
    void printSetupChoicesApplyToLaterPrints();
};

void PrintDialogsTest::withoutDefaultPrinterPrintAndSetupAreDisabled()
{
    PrintFrame f;
    f.frame()->updateCommands();
    QVERIFY(!f.frame()->action(command::kPrint)->isEnabled());
    QVERIFY(!f.frame()->action(command::kPrintSetup)->isEnabled());
    // The enabling check made the printer object, which records the lack.
    QVERIFY(App().printing().printer());
    QCOMPARE(App().printing().printer()->error(), PrinterSession::kNoDefaultPrinter);
}

void PrintDialogsTest::printDialogOffersPrinterAndCopiesOnly()
{
    PrintFrame f;
    f.append(ManyLines(5));
    const QString pdf = dir.filePath(QStringLiteral("chosen.pdf"));
    UsePdfPrinter(dir.filePath(QStringLiteral("elsewhere.pdf")));
    QStringList facts;
    {
        const auto toFile = PrintToFile(pdf, &facts);
        DialogAnswerer answerer([&toFile](QWidget* w) {
            if (auto* copies = w->findChild<QSpinBox*>(QStringLiteral("copies")))
                copies->setValue(2);
            toFile(w);
        });
        f.frame()->cmPrint();
        QCOMPARE(answerer.titles.size(), 1);
    }
    QCOMPARE(facts, QStringList({QStringLiteral("no page range"), QStringLiteral("no selection"),
                                 QStringLiteral("copies usable"), QStringLiteral("all pages")}));
    // A file makes no copies of its own, so each copy is written out.
    QCOMPARE(PdfPageCount(pdf), 2);
    QCOMPARE(PdfPageLines(pdf, 1).size(), 5);
    QCOMPARE(PdfPageLines(pdf, 2), PdfPageLines(pdf, 1));

    // Cancelling the dialog prints nothing and says nothing.
    QFile::remove(pdf);
    DialogAnswerer canceller([](QWidget* w) {
        if (auto* dialog = qobject_cast<QPrintDialog*>(w))
            dialog->reject();
    });
    f.frame()->cmPrint();
    QCOMPARE(canceller.titles.size(), 1);
    QVERIFY(!QFile::exists(pdf));
}

void PrintDialogsTest::printingBoxNamesPageTitleAndPrinter()
{
    PrintFrame f;
    f.append(ManyLines(200));
    const QString pdf = dir.filePath(QStringLiteral("watched.pdf"));
    UsePdfPrinter(pdf);
    QStringList seen;
    bool frameDisabled = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        QWidget* box = PrintingBox();
        if (box == nullptr)
            return;
        const QString page = LineText(box, "pageLine");
        if (!seen.isEmpty() && seen.last().startsWith(page))
            return;
        seen << page + QLatin1Char('|') + LineText(box, "nowPrintingLine") + QLatin1Char('|') +
                    LineText(box, "titleLine") + QLatin1Char('|') + LineText(box, "deviceLine") +
                    QLatin1Char('|') + box->windowTitle();
        frameDisabled = !f.frame()->isEnabled() && box->isEnabled();
    });
    watch.start(0);
    QCOMPARE(App().printing().printLog(f.view(), f.frame(), false), 1);
    watch.stop();

    const int pages = PdfPageCount(pdf);
    QVERIFY(pages >= 3);
    QCOMPARE(seen.size(), pages + 1);
    const QString rest = QStringLiteral("|'TFTP Daemon Log' on the|watched.pdf on %1|Printing")
                             .arg(QFileInfo(pdf).absolutePath());
    QCOMPARE(seen.first(), QStringLiteral("<hidden>|Now printing") + rest);
    for (int page = 1; page <= pages; ++page)
        QCOMPARE(seen.at(page),
                 QStringLiteral("Now printing Page %1 of|<hidden>").arg(page) + rest);
    QVERIFY(frameDisabled);
    QVERIFY(f.frame()->isEnabled());
    QCOMPARE(PrintingBox(), nullptr);
}

void PrintDialogsTest::cancelStopsTheJobAndSaysSo()
{
    PrintFrame f;
    f.append(ManyLines(300));
    const QString pdf = dir.filePath(QStringLiteral("cancelled.pdf"));
    UsePdfPrinter(pdf);
    bool greyedAfterClick = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        QWidget* box = PrintingBox();
        if (box == nullptr || LineText(box, "pageLine") != QLatin1String("Now printing Page 2 of"))
            return;
        auto* cancel = box->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        if (cancel == nullptr || !cancel->isEnabled())
            return;
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        cancel->click();
        greyedAfterClick = !cancel->isEnabled();
        // Closing the box does not end it; only the job does.
        box->close();
    });
    watch.start(0);
    DialogAnswerer answerer(PrintToFile(pdf));
    QCOMPARE(App().printing().printLog(f.view(), f.frame(), false), -2);
    watch.stop();
    QVERIFY(greyedAfterClick);
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("Print Error")});
    QCOMPARE(answerer.texts,
             QStringList{QStringLiteral("'TFTP Daemon Log' not printed. Printing canceled.")});
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(f.frame()->isEnabled());
    QCOMPARE(App().printing().printingCount(), 0);

    // Esc in the box is its Cancel button.
    QTimer escape;
    connect(&escape, &QTimer::timeout, this, [&] {
        QWidget* box = PrintingBox();
        if (box != nullptr && LineText(box, "pageLine") == QLatin1String("Now printing Page 1 of"))
            QTest::keyClick(box, Qt::Key_Escape);
    });
    escape.start(0);
    QCOMPARE(App().printing().printLog(f.view(), f.frame(), false), -2);
    QCOMPARE(answerer.texts.size(), 2);
}

void PrintDialogsTest::aFailedJobRemovesOnlyTheFileItWrote()
{
    PrintFrame f;
    f.append(ManyLines(300));
    const QString pdf = dir.filePath(QStringLiteral("replaced.pdf"));
    const QString moved = dir.filePath(QStringLiteral("moved.pdf"));
    UsePdfPrinter(pdf);
    // While the job runs, its file is moved away and another takes its name.
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        QWidget* box = PrintingBox();
        if (box == nullptr || LineText(box, "pageLine") != QLatin1String("Now printing Page 2 of"))
            return;
        auto* cancel = box->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        if (!cancel->isEnabled())
            return;
        QVERIFY(QFile::rename(pdf, moved));
        QFile scratch(pdf);
        QVERIFY(scratch.open(QIODevice::WriteOnly));
        scratch.write("someone else's\n");
        scratch.close();
        cancel->click();
    });
    watch.start(0);
    DialogAnswerer answerer(PrintToFile(pdf));
    QCOMPARE(App().printing().printLog(f.view(), f.frame(), false), -2);
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("Print Error")});
    QFile scratch(pdf);
    QVERIFY(scratch.open(QIODevice::ReadOnly));
    QCOMPARE(scratch.readAll(), QByteArray("someone else's\n"));
    QVERIFY(QFile::exists(moved));
}

void PrintDialogsTest::onlyARegularOrNewFileIsPrintedInto_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("character device") << QStringLiteral("device");
}

// Opening a FIFO for writing waits for a reader, which would stop the
// server; a device node is no file either, and a failed job must not remove
// it. Both are refused before anything is opened.
void PrintDialogsTest::onlyARegularOrNewFileIsPrintedInto()
{
    QFETCH(QString, kind);
    PrintFrame f;
    f.append(ManyLines(3));
    const QString node = dir.filePath(kind);
    const QByteArray nodeName = QFile::encodeName(node);
    ::unlink(nodeName.constData());
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(nodeName.constData(), 0600), 0);
    } else if (::mknod(nodeName.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
        QSKIP("making a device node needs root");
    }
    // A reader waits on the node, so a job that opened it would not hang
    // the test but leave its bytes there.
    const int reader = ::open(nodeName.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    UsePdfPrinter(node);
    DialogAnswerer answerer(PrintToFile(node));
    const int result = App().printing().printLog(f.view(), f.frame(), false);
    char byte = 0;
    const ssize_t got = ::read(reader, &byte, 1);
    ::close(reader);
    QCOMPARE(result, -1);
    QCOMPARE(answerer.texts,
             QStringList{QStringLiteral("'TFTP Daemon Log' not printed. Error encountered during "
                                        "print.")});
    QVERIFY(got <= 0);
    struct stat after = {};
    QCOMPARE(::stat(nodeName.constData(), &after), 0);
    QVERIFY(kind == QLatin1String("fifo") ? S_ISFIFO(after.st_mode) : S_ISCHR(after.st_mode));
    ::unlink(nodeName.constData());
}

void PrintDialogsTest::spoolerFailuresNameTheirReason()
{
    PrintFrame f;
    DialogAnswerer answerer(PrintToFile(QString()));
    for (int result : {1, 0, -1, -2, -3, -4, -5, -6})
        QCOMPARE(ReportPrintError(f.frame(), QStringLiteral("TFTP Daemon Log"), result),
                 result < 0 && result >= -5);
    const QString title = QStringLiteral("'TFTP Daemon Log' not printed. ");
    QCOMPARE(answerer.texts,
             QStringList({title + QStringLiteral("Error encountered during print."),
                          title + QStringLiteral("Printing canceled."),
                          title + QStringLiteral("Printing aborted in Print Manager."),
                          title + QStringLiteral("Out of disk space."),
                          title + QStringLiteral("Out of memory.")}));
    QCOMPARE(answerer.titles, QStringList(5, QStringLiteral("Print Error")));
}

void PrintDialogsTest::deviceThatCannotOpenIsReportedAsPrinterError()
{
    PrintFrame f;
    f.append(ManyLines(3));
    const QString unwritable = dir.filePath(QStringLiteral("no-such-folder/log.pdf"));
    UsePdfPrinter(unwritable);
    DialogAnswerer answerer(PrintToFile(unwritable));
    // Through the event loop, as the operator's command arrives, so the
    // application's error report catches what the job throws.
    QTimer::singleShot(0, f.frame(), &SDIDecFrame::cmPrint);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.titles.size(), 2, 20000);
    QCOMPARE(answerer.titles.at(1), QStringLiteral("ObjectWindows Exception"));
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("Printer error\nOK to resume?")});
    QCOMPARE(App().printing().printingCount(), 0);
    QVERIFY(f.frame()->isEnabled());
    QCOMPARE(PrintingBox(), nullptr);
}

void PrintDialogsTest::printSetupChoicesApplyToLaterPrints()
{
    PrintFrame f;
    f.append(ManyLines(3));
    const QString pdf = dir.filePath(QStringLiteral("landscape.pdf"));
    UsePdfPrinter(pdf);
    PrinterSession* printer = App().printing().printer();
    QString printerShown;
    DialogAnswerer answerer([&printerShown](QWidget* w) {
        auto* dialog = qobject_cast<ferryPrintSetupDlg*>(w);
        if (dialog == nullptr)
            return;
        printerShown = dialog->printerChoice()->currentText();
        dialog->paperChoice()->setCurrentIndex(
            dialog->paperChoice()->findData(static_cast<int>(QPageSize::Letter)));
        dialog->landscape()->click();
        for (int side = 0; side < 4; ++side)
            dialog->margin(side)->setValue(10.0 + side);
        dialog->accept();
    });
    f.frame()->cmPrintSetup();
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("Print Setup")});
    // Without any printing system the file stays the printer.
    QCOMPARE(printerShown, QStringLiteral("Print to File (PDF)"));
    // Still no default printer: the same printer object, with its choices.
    f.frame()->updateCommands();
    QCOMPARE(App().printing().printer(), printer);
    QCOMPARE(printer->printer().pageLayout().margins(QPageLayout::Millimeter),
             QMarginsF(10, 11, 12, 13));
    QCOMPARE(App().printing().printLog(f.view(), f.frame(), false), 1);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished(60000);
    QVERIFY2(info.readAllStandardOutput().contains("792 x 612"), "not Letter, landscape");

    // Cancel changes nothing.
    DialogAnswerer canceller([](QWidget* w) {
        if (auto* dialog = qobject_cast<ferryPrintSetupDlg*>(w)) {
            dialog->landscape()->setChecked(false);
            dialog->findChild<QRadioButton*>(QStringLiteral("portrait"))->setChecked(true);
            dialog->reject();
        }
    });
    f.frame()->cmPrintSetup();
    QCOMPARE(printer->printer().pageLayout().orientation(), QPageLayout::Landscape);
}

int main(int argc, char** argv)
{
    ferryApp app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    PrintDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "print_dialogs_test.moc"
