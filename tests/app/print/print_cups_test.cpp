// Printing on a real default printer: a private CUPS scheduler with two
// PDF queues, started and stopped by this test. Jobs come out as PDF files
// in the submitting user's ~/PDF.

#include "app/ferry_app.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app/print/ferry_print_setup_dlg.h"
#include "app/print/printer_session.h"
#include "print_test_support.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPrintDialog>
#include <QProcess>
#include <QRadioButton>
#include <QSysInfo>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include <csignal>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCupsd = QStringLiteral("/usr/sbin/cupsd");
const QString kPdfBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
const QString kPdfDriver = QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd");

bool Run(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(30000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output != nullptr)
        *output = QString::fromUtf8(process.readAll());
    return ok;
}

// Where cups-pdf puts the jobs of the user running the test.
QString PdfOutputFolder()
{
    const passwd* user = getpwuid(geteuid());
    return QString::fromLocal8Bit(user != nullptr ? user->pw_dir : "/root") +
           QStringLiteral("/PDF");
}

// The PDF files written since `since`; a job id may repeat a name that an
// earlier run of the scheduler left behind.
QStringList PdfFilesSince(const QDateTime& since)
{
    QStringList names;
    const QFileInfoList files =
        QDir(PdfOutputFolder()).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files);
    for (const QFileInfo& file : files)
        if (file.lastModified() >= since)
            names << file.fileName();
    return names;
}

} // namespace

class PrintCupsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir cupsRoot{QStringLiteral("/tmp/ferry-cups-XXXXXX")};
    QProcess cupsd;
    QString socket;
    QStringList madeFiles;

    bool startScheduler(QString* why);
    void stopScheduler();

    bool addQueue(const QString& name)
    {
        return Run(QStringLiteral("lpadmin"),
                   {QStringLiteral("-p"), name, QStringLiteral("-v"), QStringLiteral("cups-pdf:/"),
                    QStringLiteral("-m"), kPdfDriver, QStringLiteral("-E")});
    }

    bool makeDefault(const QString& name)
    {
        return Run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), name});
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void printsTheLogOnTheDefaultQueueThroughThePrintDialog();
    void sameDefaultKeepsPrintSetupChoicesAnotherReplacesThem();
    void withoutAnyPrinterTheCommandsAreDisabled();
    void printGreysOutSoonAfterTheDefaultPrinterGoes();
    void printSetupKeepsItsPrinterWhileOpen();
};

bool PrintCupsTest::startScheduler(QString* why)
{
    const QString root = cupsRoot.path();
    for (const char* sub : {"root/ppd", "spool", "cache", "state", "tmp", "log"})
        QDir(root).mkpath(QLatin1String(sub));
    // The filters run as the scheduler's user and must reach the folders.
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                    QFile::ExeOther);
    // The filters write their temporary files here as the scheduler's user.
    ::chmod(QFile::encodeName(root + QStringLiteral("/tmp")).constData(), 01777);
    socket = root + QStringLiteral("/cups.sock");
    QFile conf(root + QStringLiteral("/cupsd.conf"));
    QFile files(root + QStringLiteral("/cups-files.conf"));
    if (!conf.open(QIODevice::WriteOnly) || !files.open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("cannot write the scheduler's configuration");
        return false;
    }
    conf.write(QStringLiteral("Listen %1\nLogLevel warn\nBrowsing No\nWebInterface No\n"
                              "DefaultAuthType None\n<Location />\n  Order allow,deny\n"
                              "  Allow all\n</Location>\n<Policy default>\n  <Limit All>\n"
                              "    Order deny,allow\n  </Limit>\n</Policy>\n")
                   .arg(socket)
                   .toUtf8());
    files.write(QStringLiteral("ServerRoot %1/root\nRequestRoot %1/spool\nCacheDir %1/cache\n"
                               "StateDir %1/state\nTempDir %1/tmp\nErrorLog %1/log/error_log\n"
                               "AccessLog %1/log/access_log\nPageLog %1/log/page_log\n"
                               "User lp\nGroup lp\nSystemGroup root\n")
                    .arg(root)
                    .toUtf8());
    conf.close();
    files.close();

    // Everything the test starts, and Qt itself, talks to this scheduler
    // only; libcups reads the variable on first use.
    qputenv("CUPS_SERVER", socket.toUtf8());
    cupsd.setProcessChannelMode(QProcess::MergedChannels);
    cupsd.start(kCupsd, {QStringLiteral("-f"), QStringLiteral("-c"), conf.fileName(),
                         QStringLiteral("-s"), files.fileName()});
    if (!cupsd.waitForStarted(10000)) {
        *why = QStringLiteral("cupsd did not start: ") + cupsd.errorString();
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    QString status;
    while (!Run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &status) ||
           !status.contains(QStringLiteral("is running"))) {
        if (cupsd.state() != QProcess::Running || waited.elapsed() > 20000) {
            QFile log(root + QStringLiteral("/log/error_log"));
            log.open(QIODevice::ReadOnly);
            *why = QStringLiteral("cupsd is not answering: ") + QString::fromUtf8(cupsd.readAll()) +
                   QString::fromUtf8(log.readAll());
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

void PrintCupsTest::stopScheduler()
{
    if (cupsd.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(cupsd.processId()), SIGTERM);
    if (!cupsd.waitForFinished(10000)) {
        ::kill(static_cast<pid_t>(cupsd.processId()), SIGKILL);
        cupsd.waitForFinished(10000);
    }
}

void PrintCupsTest::initTestCase()
{
    if (!QFile::exists(kCupsd) || !QFile::exists(kPdfBackend))
        QSKIP("cups and printer-driver-cups-pdf are not installed");
    if (geteuid() != 0)
        QSKIP("a private CUPS scheduler needs root");
    QString why;
    if (!startScheduler(&why)) {
        stopScheduler();
        QSKIP(qPrintable(QStringLiteral("no CUPS scheduler could be started: ") + why));
    }
    QVERIFY(addQueue(QStringLiteral("ferry-first")));
    QVERIFY(addQueue(QStringLiteral("ferry-second")));
    QVERIFY(makeDefault(QStringLiteral("ferry-first")));
}

void PrintCupsTest::cleanupTestCase()
{
    stopScheduler();
    for (const QString& name : madeFiles)
        QFile::remove(PdfOutputFolder() + QLatin1Char('/') + name);
}

void PrintCupsTest::printsTheLogOnTheDefaultQueueThroughThePrintDialog()
{
    PrintFrame f;
    f.frame()->updateCommands();
    QVERIFY(f.frame()->action(command::kPrint)->isEnabled());
    QVERIFY(f.frame()->action(command::kPrintSetup)->isEnabled());
    QCOMPARE(App().printing().printer()->deviceName(), QStringLiteral("ferry-first"));

    QByteArray text;
    for (int i = 1; i <= 150; ++i)
        text += "Sun, 06 Dec 26 01:50:00  entry " + QByteArray::number(i) + "\r\n";
    f.append(text);
    const QDateTime submitted = QDateTime::currentDateTime().addSecs(-1);
    QString chosenPrinter;
    QStringList controls;
    DialogAnswerer answerer([&chosenPrinter, &controls](QWidget* w) {
        auto* dialog = qobject_cast<QPrintDialog*>(w);
        if (dialog == nullptr)
            return;
        // A queue of CUPS could pick pages on the server; choosing one must
        // not bring the page choices back.
        auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
        const int chosen = printers->currentIndex();
        for (int i = 0; i < printers->count(); ++i) {
            printers->setCurrentIndex(i);
            controls << printers->currentText() + QLatin1Char(':') +
                            PrintDialogControls(dialog).join(QLatin1Char(','));
        }
        printers->setCurrentIndex(chosen);
        chosenPrinter = dialog->printer()->printerName();
        dialog->accept();
    });
    QString deviceLine;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&deviceLine] {
        for (QWidget* box : QApplication::topLevelWidgets())
            if (box->objectName() == QLatin1String("printingDialog") && box->isVisible())
                deviceLine = box->findChild<QLabel*>(QStringLiteral("deviceLine"))->text();
    });
    watch.start(0);
    QCOMPARE(App().printing().printLog(f.view(), f.frame()), 1);
    watch.stop();
    QCOMPARE(answerer.titles.size(), 1);
    // A queue with no location set is one of this machine.
    QCOMPARE(deviceLine, QStringLiteral("ferry-first on %1").arg(QSysInfo::machineHostName()));
    QCOMPARE(chosenPrinter, QStringLiteral("ferry-first"));
    QVERIFY(controls.size() >= 3);
    for (const QString& printer : controls)
        QVERIFY2(printer.endsWith(QStringLiteral(":copies usable,all pages")), qPrintable(printer));
    const int pages = App().printing().printer()->setup.nMaxPage;
    QVERIFY(pages >= 2);

    // The queue turns the job into a file; wait until it is complete.
    QString made;
    QElapsedTimer waited;
    waited.start();
    while (made.isEmpty() && waited.elapsed() < 60000) {
        QString jobs;
        Run(QStringLiteral("lpstat"), {QStringLiteral("-o")}, &jobs);
        const QStringList written = PdfFilesSince(submitted);
        if (jobs.trimmed().isEmpty() && !written.isEmpty())
            made = written.first();
        QThread::msleep(100);
    }
    QVERIFY2(!made.isEmpty(), "no PDF came out of the queue");
    madeFiles << made;
    QCOMPARE(PdfPageCount(PdfOutputFolder() + QLatin1Char('/') + made), pages);
}

void PrintCupsTest::sameDefaultKeepsPrintSetupChoicesAnotherReplacesThem()
{
    PrintFrame f;
    QVERIFY(makeDefault(QStringLiteral("ferry-first")));
    f.frame()->updateCommands();
    QStringList offered;
    {
        // The operator chooses another printer than the default, and
        // landscape pages.
        DialogAnswerer answerer([&offered](QWidget* w) {
            auto* dialog = qobject_cast<ferryPrintSetupDlg*>(w);
            if (dialog == nullptr)
                return;
            QComboBox* printers = dialog->printerChoice();
            for (int i = 0; i < printers->count(); ++i)
                offered << printers->itemText(i);
            offered << printers->currentText();
            printers->setCurrentIndex(printers->findText(QStringLiteral("ferry-second")));
            dialog->landscape()->click();
            dialog->accept();
        });
        f.frame()->cmPrintSetup();
        QCOMPARE(answerer.titles, QStringList{QStringLiteral("Print Setup")});
    }
    QCOMPARE(offered, QStringList({QStringLiteral("ferry-first"), QStringLiteral("ferry-second"),
                                   QStringLiteral("ferry-first")}));
    auto orientation = [] {
        return App().printing().printer()->printer().pageLayout().orientation();
    };
    auto chosenPrinter = [] { return App().printing().printer()->printer().printerName(); };
    QCOMPARE(orientation(), QPageLayout::Landscape);
    QCOMPARE(chosenPrinter(), QStringLiteral("ferry-second"));

    // Setting the same default again is no change.
    QVERIFY(makeDefault(QStringLiteral("ferry-first")));
    f.frame()->updateCommands();
    QCOMPARE(App().printing().printer()->deviceName(), QStringLiteral("ferry-first"));
    QCOMPARE(orientation(), QPageLayout::Landscape);
    QCOMPARE(chosenPrinter(), QStringLiteral("ferry-second"));
    // The print dialog starts from the printer chosen.
    QString dialogPrinter;
    DialogAnswerer canceller([&dialogPrinter](QWidget* w) {
        if (auto* dialog = qobject_cast<QPrintDialog*>(w)) {
            dialogPrinter =
                dialog->findChild<QComboBox*>(QStringLiteral("printers"))->currentText();
            dialog->reject();
        }
    });
    QCOMPARE(App().printing().printLog(f.view(), f.frame()), 0);
    QCOMPARE(dialogPrinter, QStringLiteral("ferry-second"));

    // Another default printer brings a new printer object without them.
    QVERIFY(makeDefault(QStringLiteral("ferry-second")));
    f.frame()->updateCommands();
    QCOMPARE(App().printing().printer()->deviceName(), QStringLiteral("ferry-second"));
    QCOMPARE(chosenPrinter(), QStringLiteral("ferry-second"));
    QCOMPARE(orientation(), QPageLayout::Portrait);
    QVERIFY(f.frame()->action(command::kPrint)->isEnabled());
}

void PrintCupsTest::withoutAnyPrinterTheCommandsAreDisabled()
{
    PrintFrame f;
    f.frame()->updateCommands();
    QVERIFY(f.frame()->action(command::kPrint)->isEnabled());
    QVERIFY(Run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), QStringLiteral("ferry-first")}));
    QVERIFY(Run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), QStringLiteral("ferry-second")}));
    f.frame()->updateCommands();
    QVERIFY(!f.frame()->action(command::kPrint)->isEnabled());
    QVERIFY(!f.frame()->action(command::kPrintSetup)->isEnabled());
    QCOMPARE(App().printing().printer()->error(), PrinterSession::kNoDefaultPrinter);

    // A printer that arrives later is noticed the next time the commands
    // are looked at.
    QVERIFY(addQueue(QStringLiteral("ferry-first")));
    QVERIFY(makeDefault(QStringLiteral("ferry-first")));
    f.frame()->updateCommands();
    QVERIFY(f.frame()->action(command::kPrint)->isEnabled());
}

// Nothing tells the program that the default printer went away: the
// commands are looked at again while the window shows, without a menu
// being opened, and while entries keep arriving.
void PrintCupsTest::printGreysOutSoonAfterTheDefaultPrinterGoes()
{
    PrintFrame f;
    const QString entry = QStringLiteral("Sun, 06 Dec 26 01:50:00  entry\r\n");
    f.append(entry.toUtf8());
    QAction* print = f.frame()->action(command::kPrint);
    QWidget* button =
        f.frame()->findChild<QToolBar*>(QStringLiteral("toolBar"))->widgetForAction(print);
    QTRY_VERIFY(button->isEnabled());

    QTimer entries;
    connect(&entries, &QTimer::timeout, this, [&f, &entry] { f.append(entry.toUtf8()); });
    entries.start(20);
    QVERIFY(Run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), QStringLiteral("ferry-first")}));
    QTRY_VERIFY_WITH_TIMEOUT(!button->isEnabled(), 1000);
    QVERIFY(!f.frame()->action(command::kPrintSetup)->isEnabled());
    QVERIFY(QApplication::activePopupWidget() == nullptr);

    // And back again when a default printer comes (making the printer
    // object for it takes a while, so the next look may come later).
    QVERIFY(addQueue(QStringLiteral("ferry-first")));
    QVERIFY(makeDefault(QStringLiteral("ferry-first")));
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 5000);
    entries.stop();
    QVERIFY(f.view()->logText().count("entry") > 10);
}

// The commands are judged again while Print Setup is open; a new default
// printer must not take the printer away from under the dialog.
void PrintCupsTest::printSetupKeepsItsPrinterWhileOpen()
{
    PrintFrame f;
    QVERIFY(addQueue(QStringLiteral("ferry-second")));
    QVERIFY(makeDefault(QStringLiteral("ferry-first")));
    f.frame()->updateCommands();
    PrinterSession* before = App().printing().printer();
    PrinterSession* during = nullptr;
    DialogAnswerer answerer([this, &during](QWidget* w) {
        auto* dialog = qobject_cast<ferryPrintSetupDlg*>(w);
        if (dialog == nullptr)
            return;
        QVERIFY(makeDefault(QStringLiteral("ferry-second")));
        QTest::qWait(1500);
        during = App().printing().printer();
        dialog->landscape()->click();
        dialog->accept();
    });
    f.frame()->cmPrintSetup();
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("Print Setup")});
    QCOMPARE(during, before);
    // Once the dialog is closed, the new default takes over.
    QTRY_COMPARE_WITH_TIMEOUT(App().printing().printer()->deviceName(),
                              QStringLiteral("ferry-second"), 3000);
    QVERIFY(makeDefault(QStringLiteral("ferry-first")));
}

int main(int argc, char** argv)
{
    ferryApp app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    PrintCupsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "print_cups_test.moc"
