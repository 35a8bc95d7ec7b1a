// The help engine and its viewer as a command meets them: contents, help on
// help, and each command's topic by its number open the right page in the
// viewer and report success; quit closes it; missing pages return 0 and the
// viewer complains instead; and the pages link only to pages that exist.

#include "app/help/help_viewer.h"
#include "app/help/resource_paths.h"
#include "app/main_window/command_ids.h"
#include "help_test_support.h"

#include <QDebug>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>

namespace {

constexpr const char* kFile = "ferry.hlp";

HelpViewer* Viewer()
{
    return win_help_testing::Viewer();
}

QPushButton* ViewerButton(const QString& text)
{
    for (QPushButton* button : Viewer()->findChildren<QPushButton*>()) {
        if (button->text().remove(QLatin1Char('&')) == text)
            return button;
    }
    return nullptr;
}

// Clicks a viewer button the way the window system delivers a click, so a
// window locked by a modal dialog would not get it.
void ClickThroughWindowSystem(QPushButton* button)
{
    QWindow* window = Viewer()->windowHandle();
    const QPoint centre = button->mapTo(Viewer(), button->rect().center());
    QTest::mouseClick(window, Qt::LeftButton, {}, centre);
}

} // namespace

class HelpViewerTest : public QObject
{
    Q_OBJECT

public:
    explicit HelpViewerTest(ferryApp& application)
        : app(application)
    {
    }

private:
    ferryApp& app;
    QTemporaryDir emptyFolder;

private slots:

    void init()
    {
        win_help_testing::SetHelpDirectory({});
        win_help_testing::ResetCalls();
    }

    void cleanup() { DestroyHelpViewer(); }

    void contentsAndHelpOnHelpOpenTheirPages()
    {
        QCOMPARE(WinHelp(nullptr, kFile, kHelpContents, 0), 1);
        QVERIFY(Viewer() != nullptr);
        QVERIFY(Viewer()->isVisible());
        QCOMPARE(ShownPage(), QStringLiteral("index.html"));
        // The page's title already names the viewer.
        QCOMPARE(Viewer()->windowTitle(), QStringLiteral("ferry Help Contents"));
        QVERIFY(Viewer()->visibleText().contains(QStringLiteral("Restricting access to one "
                                                                "directory")));
        QVERIFY(Viewer()->visibleText().contains(QStringLiteral("port 69")));

        QCOMPARE(WinHelp(nullptr, "FERRY.HLP", kHelpHelpOnHelp, 0), 1);
        QCOMPARE(ShownPage(), QStringLiteral("using-help.html"));
        QVERIFY(Viewer()->visibleText().contains(QStringLiteral("Shift+F1")));
    }

    void everyCommandHasItsOwnTopic_data()
    {
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("title");
        QTest::newRow("Options") << command::kOptions << "Options: setting the preferences";
        QTest::newRow("Save") << command::kSave << "Save";
        QTest::newRow("Save As") << command::kSaveAs << "Save As";
        QTest::newRow("Print") << command::kPrint << "Print";
        QTest::newRow("Print Setup") << command::kPrintSetup << "Print Setup";
        QTest::newRow("Exit") << command::kExit << "Exit";
        QTest::newRow("Clear All") << command::kClearAll << "Clear All";
        QTest::newRow("Find") << command::kFind << "Find";
        QTest::newRow("Next") << command::kNext << "Next";
        QTest::newRow("Contents") << command::kHelpContents << "Help Contents";
        QTest::newRow("Using help") << command::kHelpUsing << "Using help";
        QTest::newRow("About") << command::kAbout << "About";
    }

    void everyCommandHasItsOwnTopic()
    {
        QFETCH(int, context);
        QFETCH(QString, title);
        QCOMPARE(WinHelp(nullptr, kFile, kHelpContext, static_cast<unsigned long>(context)), 1);
        QCOMPARE(Viewer()->pageTitle(), title);
        QCOMPARE(Viewer()->windowTitle(), QStringLiteral("ferry Help - ") + title);
        QVERIFY(Viewer()->complaint().isEmpty());
        // A page, not a stub: a few sentences at least.
        QVERIFY2(Viewer()->visibleText().size() > 200, qPrintable(ShownPage()));
    }

    void backAndForwardRetraceThePagesRead()
    {
        WinHelp(nullptr, kFile, kHelpContents, 0);
        QVERIFY(!ViewerButton(QStringLiteral("Back"))->isEnabled());
        WinHelp(nullptr, kFile, kHelpContext, command::kOptions);
        QCOMPARE(ShownPage(), QStringLiteral("preferences.html"));
        QTest::mouseClick(ViewerButton(QStringLiteral("Back")), Qt::LeftButton);
        QCOMPARE(ShownPage(), QStringLiteral("index.html"));
        QTest::mouseClick(ViewerButton(QStringLiteral("Forward")), Qt::LeftButton);
        QCOMPARE(ShownPage(), QStringLiteral("preferences.html"));
        QTest::mouseClick(ViewerButton(QStringLiteral("Using help")), Qt::LeftButton);
        QCOMPARE(ShownPage(), QStringLiteral("using-help.html"));
        QTest::mouseClick(ViewerButton(QStringLiteral("Contents")), Qt::LeftButton);
        QCOMPARE(ShownPage(), QStringLiteral("index.html"));
    }

    void everyLinkLeadsToAPageThatExists()
    {
        const QDir pages(HelpDirectory());
        QVERIFY(pages.exists(QStringLiteral("topics.map")));
        const QRegularExpression link(QStringLiteral("href=\"([^\"]+)\""));
        const QStringList files = pages.entryList({QStringLiteral("*.html")});
        QVERIFY(files.size() >= 14);
        for (const QString& file : files) {
            QFile page(pages.filePath(file));
            QVERIFY(page.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(page.readAll());
            QVERIFY2(html.contains(QStringLiteral("<title>")), qPrintable(file));
            for (auto match = link.globalMatch(html); match.hasNext();) {
                const QString target = match.next().captured(1);
                QVERIFY2(pages.exists(target), qPrintable(file + QStringLiteral(" -> ") + target));
            }
        }
    }

    void quitClosesTheViewer()
    {
        WinHelp(nullptr, kFile, kHelpContents, 0);
        QVERIFY(Viewer() != nullptr);
        QCOMPARE(WinHelp(nullptr, kFile, kHelpQuit, 0), 1);
        QVERIFY(Viewer() == nullptr);
    }

    void missingPagesReturnZeroAndTheViewerComplains_data()
    {
        QTest::addColumn<unsigned>("command");
        QTest::newRow("contents") << kHelpContents;
        QTest::newRow("help on help") << kHelpHelpOnHelp;
        QTest::newRow("context") << kHelpContext;
    }

    void missingPagesReturnZeroAndTheViewerComplains()
    {
        QFETCH(unsigned, command);
        win_help_testing::SetHelpDirectory(emptyFolder.path());
        QCOMPARE(WinHelp(nullptr, kFile, command, command::kOptions), 0);
        QVERIFY(Viewer() != nullptr);
        QVERIFY(Viewer()->isVisible());
        QVERIFY(Viewer()->complaint().startsWith(QStringLiteral("Cannot find the help file "
                                                                "ferry.hlp.")));
        QCOMPARE(Viewer()->visibleText(), Viewer()->complaint());
        QCOMPARE(ShownPage(), QString());
        QVERIFY(!ViewerButton(QStringLiteral("Contents"))->isEnabled());
    }

    void unknownTopicsAndOtherHelpFilesAreRefused()
    {
        QCOMPARE(WinHelp(nullptr, kFile, kHelpContext, 12345), 0);
        QVERIFY(Viewer()->complaint().contains(QStringLiteral("12345")));
        QCOMPARE(WinHelp(nullptr, "other.hlp", kHelpContents, 0), 0);
        QCOMPARE(Viewer()->complaint(), QStringLiteral("Cannot find the help file other.hlp."));
        // The pages come back with the next good request.
        QCOMPARE(WinHelp(nullptr, kFile, kHelpContents, 0), 1);
        QCOMPARE(ShownPage(), QStringLiteral("index.html"));
        QVERIFY(ViewerButton(QStringLiteral("Contents"))->isEnabled());
    }

    void theViewerOpensBesideTheWindowThatAsked_data()
    {
        // Where the asking window stands on the screen (800 x 800 pixels
        // on the offscreen platform), and whether there is room beside it.
        QTest::addColumn<QRect>("asker");
        QTest::addColumn<bool>("room");
        QTest::newRow("at the left edge") << QRect(0, 0, 300, 400) << true;
        QTest::newRow("at the right edge") << QRect(480, 40, 300, 400) << true;
        QTest::newRow("in the middle, room for a narrow page") << QRect(100, 0, 300, 560) << true;
        QTest::newRow("low on the screen") << QRect(0, 500, 300, 280) << true;
        QTest::newRow("filling the screen") << QRect(0, 0, 780, 760) << false;
    }

    void theViewerOpensBesideTheWindowThatAsked()
    {
        QFETCH(QRect, asker);
        QFETCH(bool, room);
        QWidget window;
        window.setGeometry(asker);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(WinHelp(&window, kFile, kHelpContents, 0), 1);
        const QRect screen = window.screen()->availableGeometry();
        const QRect viewer = Viewer()->frameGeometry();
        QString where;
        QDebug(&where) << "viewer" << viewer << "asker" << window.frameGeometry();
        QVERIFY2(screen.contains(viewer), qPrintable(where));
        QVERIFY2(room != viewer.intersects(window.frameGeometry()), qPrintable(where));
        QVERIFY2(viewer.width() >= 300, qPrintable(where));
    }

    void anOpenViewerMakesWayForTheWindowThatAsks()
    {
        QWidget first;
        first.setGeometry(500, 0, 280, 400);
        first.show();
        WinHelp(&first, kFile, kHelpContents, 0);
        const QRect placed = Viewer()->frameGeometry();
        // Asked again from where it stands, it stays.
        WinHelp(&first, kFile, kHelpHelpOnHelp, 0);
        QCOMPARE(Viewer()->frameGeometry(), placed);
        // A window under it asks: it moves beside that window.
        QWidget second;
        second.setGeometry(100, 60, 200, 300);
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QVERIFY(placed.intersects(second.frameGeometry()));
        WinHelp(&second, kFile, kHelpContents, 0);
        QVERIFY(!Viewer()->frameGeometry().intersects(second.frameGeometry()));
        QVERIFY(second.screen()->availableGeometry().contains(Viewer()->frameGeometry()));
    }

    void helpAskedForFromAModalDialogCanBeReadWhileItIsOpen()
    {
        WinHelp(nullptr, kFile, kHelpContext, command::kSave);
        QDialog dialog;
        QString pageAfterClick;
        QTimer::singleShot(0, &dialog, [&] {
            WinHelp(&dialog, kFile, kHelpContents, 0);
            ClickThroughWindowSystem(ViewerButton(QStringLiteral("Back")));
            pageAfterClick = ShownPage();
            dialog.reject();
        });
        QTimer::singleShot(10000, &dialog, &QDialog::reject);
        dialog.exec();
        QCOMPARE(pageAfterClick, QStringLiteral("save.html"));
        QCOMPARE(win_help_testing::Calls().back().owner, &dialog);
    }
};

FERRY_HELP_TEST_MAIN(HelpViewerTest)

#include "help_viewer_test.moc"
