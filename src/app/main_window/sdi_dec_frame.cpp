#include "app/main_window/sdi_dec_frame.h"

#include "app/common/application_name.h"
#include "app/common/string_resource.h"
#include "app/help/context_help.h"
#include "app/help/ferry_about_dlg.h"
#include "app/help/help_viewer_engine.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/log_view/ferry_find_dlg.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/key_indicators.h"
#include "app/print/log_printing.h"
#include "app/server/tftp_server.h"
#include "settings/qt/ferry_options_dlg.h"
#include "widgets/help_request.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

namespace {

// The printer rule asks the printing system for its default printer, which
// nothing announces when it changes and which takes milliseconds (a round
// trip to the CUPS scheduler). So while the window shows, the rules are
// applied again at most this often, and the look never takes more than a
// twentieth of the time, however slow the printing system answers. The
// datagrams and log entries never wait for it.
constexpr int kIdleUpdateMs = 400;
constexpr qint64 kIdleUpdateShare = 20;

// A window without a state kept from an earlier run gets a size like the
// one the window system gives new top-level windows, most of the screen.
QSize DefaultSize()
{
    QSize size(800, 500);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 3 / 4);
    return size;
}

QStringList KeyLabels()
{
    QStringList labels =
        StringResource(static_cast<int>(kKeyIndicatorLabels)).split(QLatin1Char('|'));
    if (labels.size() < 4)
        labels =
            QStringList{{}, QStringLiteral("CAPS"), QStringLiteral("NUM"), QStringLiteral("SCRL")};
    return labels.mid(1, 3);
}

} // namespace

SDIDecFrame::SDIDecFrame(TftpServer& server, LogPrinting& printing, ContextHelp& contextHelp)
    : tftpServer(server)
    , logPrinting(printing)
    , helpFilter(contextHelp)
    , view(new ferryEditFile(this))
{
    setWindowTitle(ApplicationName());
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/ferry-32.png"));
    icon.addFile(QStringLiteral(":/icons/ferry-64.png"));
    setWindowIcon(icon);
    setCentralWidget(view);

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();

    connect(view, &ferryEditFile::commandStateChanged, this, &SDIDecFrame::updateCommands);
    connect(view, &ferryEditFile::fileNameChanged, this, &SDIDecFrame::updateTitle);
    idleUpdateTimer = new QTimer(this);
    idleUpdateTimer->setSingleShot(true);
    connect(idleUpdateTimer, &QTimer::timeout, this, &SDIDecFrame::updateCommandsWhileIdle);
    updateCommands();
    resize(DefaultSize());
}

SDIDecFrame::~SDIDecFrame() = default;

// The view exists and is the activity log's before the service starts, so
// the service's first line (or its socket error line) has somewhere to go.
int SDIDecFrame::start(const FileDialogData& fileDialog)
{
    view->logViewSetup(fileDialog);
    return tftpServer.start(view);
}

QAction* SDIDecFrame::addCommand(int commandId, const QString& text, std::function<void()> handler)
{
    auto* action = new QAction(text, this);
    action->setStatusTip(StringResource(commandId));
    action->setData(commandId);
    // Every command, from the menu, the tool bar or a key, passes this one
    // point, where context help may take it as a request for its topic.
    connect(action, &QAction::triggered, this, [this, commandId, handler = std::move(handler)] {
        if (!helpFilter.interceptCommand(commandId))
            handler();
    });
    actions[commandId] = action;
    return action;
}

QLabel* SDIDecFrame::keyIndicator(int index) const
{
    return keyIndicators->pane(index);
}

QAction* SDIDecFrame::action(int commandId) const
{
    auto found = actions.find(commandId);
    return found != actions.end() ? found->second : nullptr;
}

void SDIDecFrame::createActions()
{
    addCommand(command::kOptions, tr("&Options"), [this] { cmOptions(); });
    addCommand(command::kSave, tr("&Save"), [this] { view->save(); });
    addCommand(command::kSaveAs, tr("Save &As..."), [this] { view->saveAs(); });
    addCommand(command::kPrint, tr("&Print..."), [this] { cmPrint(); });
    addCommand(command::kPrintSetup, tr("P&rint Setup..."), [this] { cmPrintSetup(); });
    // Alt+F4 is the window system's key for closing; Exit has none of its own.
    addCommand(command::kExit, tr("E&xit\tAlt+F4"), [this] { close(); });
    addCommand(command::kClearAll, tr("Clear &All\tCtrl+Del"), [this] {
        view->clearAll();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    addCommand(command::kFind, tr("&Find..."), [this] { view->openFind(); });
    // The entry names F3, so F3 does what it says.
    addCommand(command::kNext, tr("&Next\tF3"), [this] {
        view->findNext();
    })->setShortcut(QKeySequence(Qt::Key_F3));
    addCommand(command::kHelpContents, tr("&Contents"), [this] { cmHelpContents(); });
    addCommand(command::kHelpUsing, tr("&Using help"), [this] { cmHelpUsing(); });
    addCommand(command::kAbout, tr("&About..."), [this] { cmAbout(); });
    for (auto& [id, action] : actions)
        action->setShortcutContext(Qt::WindowShortcut);
}

// A highlighted pop-up shows the hint numbered one below its first entry.
void SDIDecFrame::trackPopupHint(QMenu* menu, int firstCommand)
{
    menu->menuAction()->setStatusTip(StringResource(firstCommand - 1));
    connect(menu, &QMenu::aboutToShow, this, &SDIDecFrame::updateCommands);
    connect(menu, &QMenu::aboutToHide, statusBar(), &QStatusBar::clearMessage);
}

void SDIDecFrame::createMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(action(command::kOptions));
    file->addSeparator();
    file->addAction(action(command::kSave));
    file->addAction(action(command::kSaveAs));
    file->addSeparator();
    file->addAction(action(command::kPrint));
    file->addAction(action(command::kPrintSetup));
    file->addSeparator();
    file->addAction(action(command::kExit));
    trackPopupHint(file, command::kOptions);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(action(command::kClearAll));
    trackPopupHint(edit, command::kClearAll);

    QMenu* search = menuBar()->addMenu(tr("&Search"));
    search->addAction(action(command::kFind));
    search->addAction(action(command::kNext));
    trackPopupHint(search, command::kFind);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(action(command::kHelpContents));
    help->addAction(action(command::kHelpUsing));
    help->addSeparator();
    help->addAction(action(command::kAbout));
    trackPopupHint(help, command::kHelpContents);
}

void SDIDecFrame::createToolBar()
{
    QToolBar* bar = addToolBar(tr("Tool bar"));
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(20, 20));
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    auto gap = [bar] {
        auto* spacer = new QWidget(bar);
        spacer->setFixedWidth(6);
        bar->addWidget(spacer);
    };
    auto button = [this, bar](int id) {
        QAction* a = action(id);
        a->setIcon(QIcon(QStringLiteral(":/toolbar/%1.png").arg(id)));
        // The bitmaps belong to the tool bar; the menus show text only.
        a->setIconVisibleInMenu(false);
        bar->addAction(a);
    };
    button(command::kSave);
    gap();
    button(command::kFind);
    button(command::kNext);
    gap();
    button(command::kPrint);
    gap();
    button(command::kHelpContents);
}

void SDIDecFrame::createStatusBar()
{
    keyIndicators = new KeyIndicators(statusBar(), KeyLabels());
}

void SDIDecFrame::updateTitle(const QString& fileName)
{
    setWindowTitle(ApplicationName() + QStringLiteral(" - ") + fileName);
}

void SDIDecFrame::updateCommands()
{
    action(command::kSave)->setEnabled(view->isModified());
    action(command::kSaveAs)->setEnabled(true);
    // The default printer may have come, gone or changed since the last look.
    printerReady = logPrinting.printerAvailable();
    action(command::kPrint)->setEnabled(printerReady);
    action(command::kPrintSetup)->setEnabled(printerReady);
    action(command::kClearAll)->setEnabled(view->holdsText());
    action(command::kFind)->setEnabled(!view->findOpen());
    action(command::kNext)->setEnabled(view->hasSearchText());
}

void SDIDecFrame::updateCommandsWhileIdle()
{
    QElapsedTimer took;
    took.start();
    updateCommands();
    idleUpdateTimer->start(
        static_cast<int>(std::max<qint64>(kIdleUpdateMs, took.elapsed() * kIdleUpdateShare)));
}

// Without a display, or minimized, nobody sees the commands' states.
void SDIDecFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!idleUpdateTimer->isActive())
        idleUpdateTimer->start(kIdleUpdateMs);
}

void SDIDecFrame::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    idleUpdateTimer->stop();
}

void SDIDecFrame::closeEvent(QCloseEvent* event)
{
    if (!closingWithoutAsking && !closeCheck()) {
        event->ignore();
        return;
    }
    if (ferryFindDlg* find = view->findDlg())
        find->close();
    event->accept();
}

// Asked before the window closes. Once the log view lets it go (its changes
// saved or given up), the server goes down at once, and help opened by
// Contents or Using help is told to quit.
bool SDIDecFrame::closeCheck()
{
    if (!view->canClose())
        return false; // the server keeps serving, as if nothing had been asked
    tftpServer.stop();
    if (helpOpened)
        WinHelp(this, kHelpFileName, kHelpQuit, 0);
    return true;
}

void SDIDecFrame::closeWithoutAsking()
{
    closingWithoutAsking = true;
    close();
}

// A changed ListenAddress moves the server socket once the dialog is gone.
void SDIDecFrame::cmOptions()
{
    if (ferryOptionsDlg(this).exec() == QDialog::Accepted)
        tftpServer.followListenAddress(this);
}

// The job belongs to the window the operator is using, which stays
// disabled while it runs.
void SDIDecFrame::cmPrint()
{
    QWidget* active = QApplication::activeWindow();
    logPrinting.printLog(view, active != nullptr ? active : this);
}

void SDIDecFrame::cmPrintSetup()
{
    logPrinting.printSetup(this);
}

// Only help opened by these two commands is the application's to close at
// exit, and a failed request clears what an earlier one had opened.
void SDIDecFrame::cmHelpContents()
{
    helpOpened = WinHelp(this, kHelpFileName, kHelpContents, 0) != 0;
}

void SDIDecFrame::cmHelpUsing()
{
    helpOpened = WinHelp(this, kHelpFileName, kHelpHelpOnHelp, 0) != 0;
}

void SDIDecFrame::cmAbout()
{
    ferryAboutDlg(this).exec();
}
