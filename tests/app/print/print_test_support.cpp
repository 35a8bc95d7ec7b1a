#include "print_test_support.h"

#include "app/ferry_app.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app/print/printer_session.h"
#include "platform/sockets.h"

#include <QApplication>
#include <QMessageBox>
#include <QPageLayout>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimerEvent>
#include <QWidget>
#include <QXmlStreamReader>

PrintFrame::PrintFrame()
{
    sockets_testing::SetTftpPortOverride(0);
    App().createMainWindow();
    frame()->show();
    view()->clearAll();
}

PrintFrame::~PrintFrame()
{
    App().server().stop();
    delete App().mainWindow();
    sockets_testing::SetTftpPortOverride(-1);
    App().printing().usePrinter(nullptr);
}

SDIDecFrame* PrintFrame::frame() const
{
    return App().mainWindow();
}

ferryEditFile* PrintFrame::view() const
{
    return frame()->logView();
}

void PrintFrame::append(const QByteArray& text) const
{
    view()->SetReadOnly(false);
    view()->SetCaret(view()->TextLength());
    view()->InsertAtCaret(text.constData());
    view()->SetReadOnly(true);
}

void UsePdfPrinter(const QString& path)
{
    auto session = PrinterSession::ForPdfFile(path);
    session->printer().setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                                 QMarginsF(20, 20, 20, 20),
                                                 QPageLayout::Millimeter));
    App().printing().usePrinter(std::move(session));
}

DialogAnswerer::DialogAnswerer(std::function<void(QWidget*)> action)
    : act(std::move(action))
{
    timerId = startTimer(0);
}

DialogAnswerer::~DialogAnswerer()
{
    killTimer(timerId);
}

void DialogAnswerer::timerEvent(QTimerEvent*)
{
    QWidget* modal = QApplication::activeModalWidget();
    // The Printing box is the job's own; tests watch it themselves.
    if (modal != nullptr && modal->objectName() == QLatin1String("printingDialog"))
        return;
    if (modal == nullptr) {
        lastHandled = nullptr;
        return;
    }
    if (modal != lastHandled) {
        lastHandled = modal;
        shownFor.start();
        titles << modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            texts << box->text();
        act(modal);
        return;
    }
    // A safety net, not a measurement: a dialog nobody answered.
    if (shownFor.elapsed() > 10000)
        modal->close();
}

QStringList PrintDialogControls(QWidget* dialog)
{
    QStringList usable;
    for (const char* name :
         {"printAll", "printRange", "from", "to", "pagesRadioButton", "pagesLineEdit",
          "printCurrentPage", "printSelection", "pageSetCombo", "copies"}) {
        auto* control = dialog->findChild<QWidget*>(QLatin1String(name));
        if (control != nullptr && control->isEnabled())
            usable << QStringLiteral("%1 usable").arg(QLatin1String(name));
    }
    if (auto* all = dialog->findChild<QRadioButton*>(QStringLiteral("printAll")))
        usable << (all->isChecked() ? QStringLiteral("all pages") : QStringLiteral("some pages"));
    return usable;
}

namespace {

QByteArray RunTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QByteArray();
    return process.readAllStandardOutput();
}

} // namespace

int PdfPageCount(const QString& path)
{
    const QString info = QString::fromUtf8(RunTool(QStringLiteral("pdfinfo"), {path}));
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QStringList PdfPageLines(const QString& path, int page)
{
    const QString number = QString::number(page);
    const QString text = QString::fromUtf8(RunTool(
        QStringLiteral("pdftotext"), {QStringLiteral("-f"), number, QStringLiteral("-l"), number,
                                      QStringLiteral("-layout"), path, QStringLiteral("-")}));
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed().remove(QLatin1Char('\f'));
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines;
}

QList<PdfWord> PdfPageWords(const QString& path, int page)
{
    const QString number = QString::number(page);
    const QByteArray html = RunTool(QStringLiteral("pdftotext"),
                                    {QStringLiteral("-f"), number, QStringLiteral("-l"), number,
                                     QStringLiteral("-bbox"), path, QStringLiteral("-")});
    QList<PdfWord> words;
    QXmlStreamReader xml(html);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"word")
            continue;
        const auto a = xml.attributes();
        const double xMin = a.value(QLatin1String("xMin")).toDouble();
        const double yMin = a.value(QLatin1String("yMin")).toDouble();
        const double xMax = a.value(QLatin1String("xMax")).toDouble();
        const double yMax = a.value(QLatin1String("yMax")).toDouble();
        words.append({xml.readElementText(), QRectF(QPointF(xMin, yMin), QPointF(xMax, yMax))});
    }
    return words;
}
