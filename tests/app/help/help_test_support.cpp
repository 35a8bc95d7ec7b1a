#include "help_test_support.h"

#include "app/common/message_box.h"
#include "app/help/help_viewer.h"
#include "app/main_window/sdi_dec_frame.h"
#include "platform/sockets.h"
#include "settings/server_settings.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimerEvent>

PrivateWorld::PrivateWorld()
    : previousDirectory(QDir::currentPath())
{
    QDir(root.path()).mkpath(QStringLiteral("config"));
    QDir(root.path()).mkpath(QStringLiteral("work"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.path() + QStringLiteral("/config")));
    QDir::setCurrent(root.path() + QStringLiteral("/work"));
    serverSettings = ServerSettings{};
}

PrivateWorld::~PrivateWorld()
{
    QDir::setCurrent(previousDirectory);
}

void PrepareServerForTests()
{
    sockets_testing::SetTftpPortOverride(0);
}

SDIDecFrame* OpenMainWindow(ferryApp& app)
{
    if (app.createMainWindow() != 0)
        return nullptr;
    SDIDecFrame* frame = app.mainWindow();
    frame->show();
    frame->activateWindow();
    if (!QTest::qWaitForWindowActive(frame))
        return nullptr;
    return frame;
}

bool CloseMainWindow(ferryApp& app)
{
    SDIDecFrame* frame = app.mainWindow();
    if (frame == nullptr)
        return true;
    // The log has changed since start-up; the question about saving it is
    // answered No.
    SetHeadlessBoxes(true);
    const bool closed = frame->close();
    SetHeadlessBoxes(false);
    if (closed)
        delete frame;
    return closed;
}

std::vector<win_help_testing::Call> HelpCalls(unsigned command)
{
    std::vector<win_help_testing::Call> found;
    for (const win_help_testing::Call& call : win_help_testing::Calls()) {
        if (call.command == command)
            found.push_back(call);
    }
    return found;
}

QString ShownPage()
{
    const HelpViewer* viewer = win_help_testing::Viewer();
    return viewer ? QFileInfo(viewer->pageFile()).fileName() : QString();
}

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> action)
    : act(std::move(action))
{
    timerId = startTimer(10);
}

ModalWatcher::~ModalWatcher()
{
    killTimer(timerId);
}

void ModalWatcher::timerEvent(QTimerEvent*)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        ticks = 0;
        return;
    }
    if (modal != last) {
        last = modal;
        ticks = 0;
        seen.append(QString::fromLatin1(modal->metaObject()->className()));
        if (act)
            act(modal);
        else
            RejectLater(modal);
        return;
    }
    if (++ticks > 1000) {
        modal->close();
    }
}

void RejectLater(QWidget* dialog)
{
    if (auto* box = qobject_cast<QDialog*>(dialog))
        QMetaObject::invokeMethod(box, &QDialog::reject, Qt::QueuedConnection);
}
