#pragma once

// The main window: menu, tool bar, status bar and the log view as its
// client. Every command's enabling rule is applied when a menu opens,
// whenever the state it looks at changes, and again and again while the
// window shows, which keeps the tool bar current. It starts the server once
// its log view is set up, and when it may close it stops the server and
// closes the help it opened.

#include <QMainWindow>

#include <functional>
#include <map>

class ContextHelp;
class LogPrinting;
class KeyIndicators;
class QAction;
class QLabel;
class QMenu;
class QTimer;
class TftpServer;
class ferryEditFile;
struct FileDialogData;

class SDIDecFrame : public QMainWindow
{
    Q_OBJECT
public:
    SDIDecFrame(TftpServer& server, LogPrinting& printing, ContextHelp& contextHelp);
    ~SDIDecFrame() override;

    // Sets the log view up with the Save As settings `fileDialog` and starts
    // the server. 0 on success; 1 after a start-up failure was shown.
    int start(const FileDialogData& fileDialog);

    ferryEditFile* logView() const { return view; }

    // The action of a command number (command_ids.h), for the tool bar and tests.
    QAction* action(int commandId) const;

    QLabel* keyIndicator(int index) const;

    // Applies every enabling rule now.
    void updateCommands();
    // Closes without the close check: the server is already down.
    void closeWithoutAsking();

    // Whether Contents or Using help opened the help, which is then closed
    // with the window.
    bool applicationHelpOpen() const { return helpOpened; }

    // Hooks for printing and help.
    void cmOptions();
    void cmPrint();
    void cmPrintSetup();
    void cmHelpContents();
    void cmHelpUsing();
    void cmAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool closeCheck();
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void updateTitle(const QString& fileName);
    void updateCommandsWhileIdle();
    QAction* addCommand(int commandId, const QString& text, std::function<void()> handler);
    void trackPopupHint(QMenu* menu, int firstCommand);

    TftpServer& tftpServer;
    LogPrinting& logPrinting;
    ContextHelp& helpFilter;
    ferryEditFile* view;
    std::map<int, QAction*> actions;
    KeyIndicators* keyIndicators = nullptr;
    QTimer* idleUpdateTimer = nullptr;
    bool printerKnown = false;
    bool printerReady = false;
    bool closingWithoutAsking = false;
    bool helpOpened = false;
};
