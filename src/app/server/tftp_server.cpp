#include "app/server/tftp_server.h"

#include "app/common/message_box.h"
#include "app/server/listen_address_boxes.h"
#include "app/server/startup_advice.h"
#include "log/activity_log.h"
#include "platform/qt/event_loop_hosts.h"
#include "platform/sockets.h"
#include "platform/timers.h"
#include "service/dispatcher.h"
#include "service/server_socket.h"
#include "service/service_lifetime.h"
#include "service/session_table.h"
#include "settings/qt/listen_address_group.h"
#include "settings/server_settings.h"
#include "settings/settings_store.h"
#include "widgets/help_request.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <string>

namespace {

void ShowStartupFailure(QWidget* owner, int errorNumber)
{
    ShowMessageBox(owner, QString::fromUtf8(SocketErrorText(errorNumber)), QStringLiteral("ferry"),
                   BoxIcon::Stop, BoxButtons::Ok);
}

// The server socket could not be opened. Where the number alone would
// leave a Linux user guessing, a sentence below it says why and what to do,
// and Help opens the topic on the TFTP port, whose context number is the
// error's own.
void ShowServerSocketFailure(QWidget* owner, int errorNumber)
{
    const QString advice =
        StartupAdvice(errorNumber, TftpServicePort(), QCoreApplication::applicationFilePath());
    if (advice.isEmpty()) {
        ShowStartupFailure(owner, errorNumber);
        return;
    }
    const QString text =
        QString::fromUtf8(SocketErrorText(errorNumber)) + QLatin1String("\n\n") + advice;
    ShowMessageBoxWithHelp(owner, text, QStringLiteral("ferry"), [errorNumber](QWidget* box) {
        RequestDialogHelp(box, kHelpFileName, kDialogHelpContext,
                          static_cast<unsigned long>(errorNumber));
    });
}

// 0 when the server is listening; 1 after a failure was shown.
int StartTftpService(QWidget* owner)
{
    ServiceStart start = StartService();
    switch (start.failure) {
    case StartFailure::None:
        return 0;
    case StartFailure::SocketsService:
        // The service never started, so there is nothing to clean up.
        MessageBeep(kBeepStop);
        ShowStartupFailure(owner, start.errorNumber);
        return 1;
    case StartFailure::SocketsVersion:
        MessageBeep(kBeepDefault);
        ShowStartupFailure(owner, start.errorNumber);
        StopService();
        return 1;
    case StartFailure::ServerSocketOpen:
        ShowServerSocketFailure(owner, start.errorNumber);
        StopService();
        return 1;
    case StartFailure::ListenAddress:
        ShowListenAddressFailure(owner, serverSettings.listenAddress, start.listenProblem);
        StopService();
        return 1;
    }
    return 1;
}

} // namespace

TftpServer::TftpServer()
    : socketNotifyHost(MakeSocketNotifyHost([](sockets::SOCKET s) {
        OnSocketNotify(static_cast<std::uintptr_t>(s), sockets::FD_READ);
    }))
    , timerHost(MakeTimerHost())
{
}

TftpServer::~TftpServer()
{
    stop();
}

int TftpServer::start(QWidget* boxOwner)
{
    // The socket is watched, and the sessions arm their timers, from the
    // first datagram on.
    installHosts(true);
    if (StartTftpService(boxOwner) != 0) {
        installHosts(false);
        return 1;
    }
    serving = true;
    // What Set Preferences shows about the place the server listens on.
    ListenAddressGroup::setListenerQuery([] {
        return ListenerState{ListenAddressInForce(), ListeningDescription(),
                             SessionTable != nullptr};
    });
    return 0;
}

void TftpServer::stop()
{
    if (!serving)
        return;
    serving = false;
    ListenAddressGroup::setListenerQuery(nullptr);
    // Peers are not told; files being written stay as far as they got.
    // Releasing the sockets also stops watching them, so the hosts go last.
    StopService();
    installHosts(false);
}

void TftpServer::followListenAddress(QWidget* boxOwner)
{
    if (!serving)
        return;
    const std::string wanted = serverSettings.listenAddress;
    const ReopenResult result = ReopenServerSocket();
    if (result.outcome != Reopen::Failed && result.outcome != Reopen::NotListening)
        return;
    std::snprintf(serverSettings.listenAddress, sizeof serverSettings.listenAddress, "%s",
                  ListenAddressInForce());
    SaveSettings();
    ShowReopenFailure(boxOwner, wanted.c_str(), result);
}

void TftpServer::installHosts(bool on)
{
    sockets::SetSocketNotifyHost(on ? socketNotifyHost.get() : nullptr);
    SetTimerHost(on ? timerHost.get() : nullptr);
}
