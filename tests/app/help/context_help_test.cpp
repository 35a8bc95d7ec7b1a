// Help reached from the main window: the Help menu's commands and the flag
// that decides whether help is told to quit at close; F1; Shift+F1 help mode,
// in which the next command from the menu, the tool bar or a key shows its
// topic instead of running; Escape; and the help keys left alone inside
// modal dialogs and open menus.

#include "app/help/context_help_cursor.h"
#include "app/help/help_viewer.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "help_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QBitmap>
#include <QCursor>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

namespace {

QMenu* MenuOf(SDIDecFrame* frame, int commandId)
{
    for (QMenu* menu : frame->menuBar()->findChildren<QMenu*>()) {
        if (menu->actions().contains(frame->action(commandId)))
            return menu;
    }
    return nullptr;
}

// Opens the menu that holds `commandId` from the menu bar and clicks the
// entry, as the operator does.
void ChooseFromMenu(SDIDecFrame* frame, int commandId)
{
    QMenu* menu = MenuOf(frame, commandId);
    QVERIFY(menu != nullptr);
    const QRect title = frame->menuBar()->actionGeometry(menu->menuAction());
    QTest::mouseClick(frame->menuBar(), Qt::LeftButton, {}, title.center());
    QTRY_VERIFY(menu->isVisible());
    const QRect entry = menu->actionGeometry(frame->action(commandId));
    QTest::mouseClick(menu, Qt::LeftButton, {}, entry.center());
}

void PressKey(SDIDecFrame* frame, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(frame->windowHandle(), key, modifiers);
}

bool ShowsHelpCursor()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::BitmapCursor &&
           cursor->bitmap().toImage() == LoadHelpCursor().bitmap().toImage();
}

} // namespace

class ContextHelpTest : public QObject
{
    Q_OBJECT

public:
    explicit ContextHelpTest(ferryApp& application)
        : app(application)
    {
    }

private:
    ferryApp& app;
    SDIDecFrame* frame = nullptr;
    QTemporaryDir emptyFolder;

private slots:

    void init()
    {
        win_help_testing::SetHelpDirectory({});
        frame = OpenMainWindow(app);
        QVERIFY(frame != nullptr);
        win_help_testing::ResetCalls();
    }

    void cleanup()
    {
        if (app.mainWindow() != nullptr)
            QVERIFY(CloseMainWindow(app));
        DestroyHelpViewer();
        QVERIFY(!app.contextHelp().inHelpMode());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void contentsThenCloseAsksTheViewerToQuit_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("page");
        QTest::newRow("Contents") << command::kHelpContents << "index.html";
        QTest::newRow("Using help") << command::kHelpUsing << "using-help.html";
    }

    void contentsThenCloseAsksTheViewerToQuit()
    {
        QFETCH(int, command);
        QFETCH(QString, page);
        ChooseFromMenu(frame, command);
        QCOMPARE(ShownPage(), page);
        QVERIFY(frame->applicationHelpOpen());
        QVERIFY(CloseMainWindow(app));
        const auto quits = HelpCalls(kHelpQuit);
        QCOMPARE(quits.size(), size_t(1));
        QCOMPARE(quits.front().owner, static_cast<QWidget*>(frame));
        QCOMPARE(quits.front().file, QStringLiteral("ferry.hlp"));
        QVERIFY(win_help_testing::Viewer() == nullptr);
    }

    void f1AloneLeavesNothingToQuitAtClose()
    {
        frame->logView()->setFocus();
        PressKey(frame, Qt::Key_F1);
        QCOMPARE(ShownPage(), QStringLiteral("index.html"));
        QVERIFY(!frame->applicationHelpOpen());
        QVERIFY(CloseMainWindow(app));
        QVERIFY(HelpCalls(kHelpQuit).empty());
        QVERIFY(win_help_testing::Viewer() != nullptr);
    }

    void aFailedHelpCommandClearsTheFlag()
    {
        ChooseFromMenu(frame, command::kHelpContents);
        QVERIFY(frame->applicationHelpOpen());
        win_help_testing::SetHelpDirectory(emptyFolder.path());
        ChooseFromMenu(frame, command::kHelpUsing);
        QVERIFY(!frame->applicationHelpOpen());
        QVERIFY(win_help_testing::Viewer()->complaint().startsWith(
            QStringLiteral("Cannot find the help file ferry.hlp.")));
        QVERIFY(CloseMainWindow(app));
        QVERIFY(HelpCalls(kHelpQuit).empty());
    }

    void shiftF1ThenOptionsShowsItsTopicInsteadOfTheDialog()
    {
        PressKey(frame, Qt::Key_F1, Qt::ShiftModifier);
        QVERIFY(app.contextHelp().inHelpMode());
        QVERIFY(ShowsHelpCursor());
        QCOMPARE(QApplication::overrideCursor()->hotSpot(), QPoint(0, 0));
        QCOMPARE(QApplication::overrideCursor()->bitmap().size(), QSize(32, 32));
        // Moving over the log, whose own pointer is the text cursor, keeps
        // the help cursor.
        QTest::mouseMove(frame->logView()->viewport(), QPoint(20, 20));
        QVERIFY(ShowsHelpCursor());

        ModalWatcher watcher;
        ChooseFromMenu(frame, command::kOptions);
        QCOMPARE(ShownPage(), QStringLiteral("preferences.html"));
        const auto topics = HelpCalls(kHelpContext);
        QCOMPARE(topics.size(), size_t(1));
        QCOMPARE(topics.front().data, 22005ul);
        QCOMPARE(topics.front().owner, static_cast<QWidget*>(frame));
        QVERIFY(watcher.seen.isEmpty());
        // One request ends the mode; the next Options opens the dialog.
        QVERIFY(!app.contextHelp().inHelpMode());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        ChooseFromMenu(frame, command::kOptions);
        QTRY_COMPARE(watcher.seen, QStringList{QStringLiteral("ferryOptionsDlg")});
    }

    void helpModeCatchesToolBarButtonsAndKeysAlike()
    {
        ferryEditFile* view = frame->logView();
        PressKey(frame, Qt::Key_F1, Qt::ShiftModifier);
        auto* bar = frame->findChild<QToolBar*>(QStringLiteral("toolBar"));
        QTest::mouseClick(bar->widgetForAction(frame->action(command::kFind)), Qt::LeftButton);
        QCOMPARE(ShownPage(), QStringLiteral("find.html"));
        QVERIFY(!view->findOpen());

        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QVERIFY(view->holdsText());
        PressKey(frame, Qt::Key_F1, Qt::ShiftModifier);
        PressKey(frame, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(ShownPage(), QStringLiteral("clear-all.html"));
        QVERIFY(view->holdsText());
        // Out of the mode, the same key clears the log.
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        PressKey(frame, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(!view->holdsText());
    }

    void escapeLeavesHelpModeAndCommandsWorkAgain()
    {
        PressKey(frame, Qt::Key_F1, Qt::ShiftModifier);
        QVERIFY(ShowsHelpCursor());
        PressKey(frame, Qt::Key_Escape);
        QVERIFY(!app.contextHelp().inHelpMode());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(frame->cursor().shape(), Qt::ArrowCursor);
        ModalWatcher watcher;
        ChooseFromMenu(frame, command::kOptions);
        QTRY_COMPARE(watcher.seen, QStringList{QStringLiteral("ferryOptionsDlg")});
        QVERIFY(win_help_testing::Calls().empty());
        // Without help mode, Escape is the window's own key again.
        PressKey(frame, Qt::Key_Escape);
        QVERIFY(win_help_testing::Calls().empty());
    }

    void helpKeysAreLeftToModalDialogs()
    {
        ModalWatcher watcher([this](QWidget* dialog) {
            QTest::keyClick(dialog, Qt::Key_F1);
            QTest::keyClick(dialog, Qt::Key_F1, Qt::ShiftModifier);
            QVERIFY(!app.contextHelp().inHelpMode());
            RejectLater(dialog);
        });
        frame->action(command::kOptions)->trigger();
        QCOMPARE(watcher.seen, QStringList{QStringLiteral("ferryOptionsDlg")});
        QVERIFY(win_help_testing::Calls().empty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void thePreferencesHelpButtonOpensTheContentsForTheDialog_data()
    {
        QTest::addColumn<bool>("viewerOpen");
        QTest::newRow("new viewer") << false;
        QTest::newRow("viewer open beside the main window") << true;
    }

    // On a screen 1280 pixels wide, the viewer stands beside the main window
    // and beside the dialog whose Help button asked, wholly on the screen,
    // and never over the dialog, whose settings the reader compares with
    // the page.
    void thePreferencesHelpButtonOpensTheContentsForTheDialog()
    {
        QFETCH(bool, viewerOpen);
        if (viewerOpen) {
            ChooseFromMenu(frame, command::kHelpUsing);
            const QRect beside = win_help_testing::Viewer()->frameGeometry();
            QVERIFY(!beside.intersects(frame->frameGeometry()));
            QVERIFY(frame->screen()->availableGeometry().contains(beside));
        }
        QWidget* dialogSeen = nullptr;
        QRect dialogFrame;
        ModalWatcher watcher([&](QWidget* dialog) {
            dialogSeen = dialog;
            dialogFrame = dialog->frameGeometry();
            auto* help = dialog->findChild<QAbstractButton*>(QStringLiteral("helpButton"));
            QTest::mouseClick(help, Qt::LeftButton);
            RejectLater(dialog);
        });
        ChooseFromMenu(frame, command::kOptions);
        QTRY_COMPARE(watcher.seen, QStringList{QStringLiteral("ferryOptionsDlg")});
        QCOMPARE(ShownPage(), QStringLiteral("index.html"));
        QCOMPARE(win_help_testing::Calls().back().owner, dialogSeen);
        const QRect viewer = win_help_testing::Viewer()->frameGeometry();
        QVERIFY(!viewer.intersects(dialogFrame));
        QVERIFY(frame->screen()->availableGeometry().contains(viewer));
        // Not the application's help: nothing to quit at close.
        QVERIFY(frame->applicationHelpOpen() == viewerOpen);
    }

    void helpKeysAreLeftToAnOpenMenu()
    {
        QMenu* menu = MenuOf(frame, command::kSave);
        const QRect title = frame->menuBar()->actionGeometry(menu->menuAction());
        QTest::mouseClick(frame->menuBar(), Qt::LeftButton, {}, title.center());
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_F1, Qt::ShiftModifier);
        QTest::keyClick(menu, Qt::Key_F1);
        QVERIFY(!app.contextHelp().inHelpMode());
        QVERIFY(win_help_testing::Calls().empty());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
    }

    void f1HeldWhileChoosingAMenuEntryShowsItsTopic()
    {
        ModalWatcher watcher;
        QMenu* menu = MenuOf(frame, command::kSaveAs);
        const QRect title = frame->menuBar()->actionGeometry(menu->menuAction());
        QTest::mouseClick(frame->menuBar(), Qt::LeftButton, {}, title.center());
        QTRY_VERIFY(menu->isVisible());
        menu->setActiveAction(frame->action(command::kSaveAs));
        QTest::keyPress(menu, Qt::Key_F1);
        QTest::keyClick(menu, Qt::Key_Return);
        QTest::keyRelease(menu, Qt::Key_F1);
        QCOMPARE(ShownPage(), QStringLiteral("save-as.html"));
        QVERIFY(watcher.seen.isEmpty());
    }

    // The entries added beside the original ones answer Shift+F1 alike.
    void shiftF1ThenViewTransfersShowsItsTopicAndLeavesThePanelAlone()
    {
        auto* panel = frame->findChild<QDockWidget*>(QStringLiteral("transfersPanel"));
        QVERIFY(panel != nullptr && panel->isHidden());
        QAction* transfers = nullptr;
        for (QMenu* menu : frame->menuBar()->findChildren<QMenu*>()) {
            for (QAction* entry : menu->actions()) {
                if (entry->data().toInt() == command::kViewTransfers)
                    transfers = entry;
            }
        }
        QVERIFY(transfers != nullptr);
        PressKey(frame, Qt::Key_F1, Qt::ShiftModifier);
        transfers->trigger();
        QCOMPARE(ShownPage(), QStringLiteral("transfers.html"));
        QVERIFY(panel->isHidden());
        QVERIFY(!transfers->isChecked());
        // Out of the mode, the entry shows the panel.
        frame->activateWindow();
        transfers->trigger();
        QVERIFY(!panel->isHidden());
        QVERIFY(transfers->isChecked());
    }

    void theViewerDoesNotKeepTheProgramRunning()
    {
        PressKey(frame, Qt::Key_F1);
        QVERIFY(win_help_testing::Viewer()->isVisible());
        // Closing the main window ends the event loop although the help
        // window is still open; if it did not, the guard would end it with 2.
        QTimer::singleShot(0, &app, [this] { CloseMainWindow(app); });
        QTimer::singleShot(20000, &app, [this] { app.exit(2); });
        QCOMPARE(app.exec(), 0);
        // The help window ends with the program.
        QVERIFY(win_help_testing::Viewer() == nullptr);
    }
};

FERRY_HELP_TEST_MAIN(ContextHelpTest)

#include "context_help_test.moc"
