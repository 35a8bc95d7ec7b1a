#pragma once

// Helpers for the help and About tests: a main() that builds the
// application object as the program does, in a settings folder and working
// directory of its own and on an ephemeral port; a main window opened and
// closed the way the operator does; and a watcher that notes every modal
// dialog that opens and answers it.

#include "app/ferry_app.h"
#include "app/help/help_viewer_engine.h"

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

class SDIDecFrame;
class QWidget;

// XDG_CONFIG_HOME and the working directory in a fresh temporary folder.
class PrivateWorld
{
public:
    PrivateWorld();
    ~PrivateWorld();

private:
    QTemporaryDir root;
    QString previousDirectory;
};

// Builds, shows and activates the main window with the server running.
SDIDecFrame* OpenMainWindow(ferryApp& app);
// Closes it as the close box does, answering No to saving the log, and
// frees it. Returns whether it closed.
bool CloseMainWindow(ferryApp& app);

// The WinHelp calls with `command` since the last reset.
std::vector<win_help_testing::Call> HelpCalls(unsigned command);
// The file name of the page the help viewer shows, or "" with no viewer.
QString ShownPage();

// From construction on, notes the class of every modal dialog that opens
// and hands it to `act` once; a dialog still open after a while is closed so
// that a test fails instead of hanging.
class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(std::function<void(QWidget*)> act = {});
    ~ModalWatcher() override;

    QStringList seen;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::function<void(QWidget*)> act;
    QWidget* last = nullptr;
    int ticks = 0;
    int timerId = 0;
};

// Rejects a dialog once its modal loop runs.
void RejectLater(QWidget* dialog);

#define FERRY_HELP_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        PrivateWorld world;                                                                        \
        PrepareServerForTests();                                                                   \
        ferryApp app(argc, argv);                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestClass test(app);                                                                       \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// The server binds an ephemeral loopback port instead of the TFTP port.
void PrepareServerForTests();
