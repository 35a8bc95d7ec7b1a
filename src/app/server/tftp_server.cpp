#include "app/server/tftp_server.h"

#include "app/common/message_box.h"
#include "log/activity_log.h"
#include "platform/qt/event_loop_hosts.h"
#include "platform/sockets.h"
#include "platform/timers.h"
#include "service/server_socket.h"
#include "service/session_table.h"

#include <QString>

namespace {

constexpr std::uint16_t kWantedVersion = 0x0101; // 1.1
// The generic text for this number stands for "sockets service too old".
constexpr int kVersionTooOld = 200;

void ShowStartupFailure(QWidget* owner, int errorNumber)
{
    ShowMessageBox(owner, QString::fromUtf8(SocketErrorText(errorNumber)), QStringLiteral("ferry"),
                   BoxIcon::Stop, BoxButtons::Ok);
}

// 0 when the server is listening; 1 after a failure was shown.
int StartTftpService(QWidget* owner)
{
    int error = WSAStartup(kWantedVersion, &wsaData);
    if (error != 0) {
        // The service never started, so there is nothing to clean up.
        MessageBeep(kBeepStop);
        ShowStartupFailure(owner, error);
        return 1;
    }
    unsigned major = wsaData.wVersion & 0xFFu;
    unsigned minor = wsaData.wVersion >> 8;
    if (major < 1 || (major == 1 && minor < 1)) {
        MessageBeep(kBeepDefault);
        ShowStartupFailure(owner, kVersionTooOld);
        WSACleanup();
        return 1;
    }
    if (OpenServerSocket() != 0) {
        // Read before the box: nothing shown may disturb the error.
        error = WSAGetLastError();
        ShowStartupFailure(owner, error);
        WSACleanup();
        return 1;
    }
    return 0;
}

} // namespace

TftpServer::TftpServer()
    : socketNotifyHost(MakeSocketNotifyHost(
          [](SOCKET s) { OnSocketNotify(static_cast<std::uintptr_t>(s), FD_READ); }))
    , timerHost(MakeTimerHost())
{
}

TftpServer::~TftpServer()
{
    stop();
}

int TftpServer::start(QWidget* boxOwner)
{
    // The sessions arm their timers, and the socket is watched, from the
    // first datagram on.
    installHosts(true);
    if (StartTftpService(boxOwner) != 0) {
        installHosts(false);
        return 1;
    }
    serving = true;
    return 0;
}

void TftpServer::stop()
{
    if (!serving)
        return;
    serving = false;
    // Peers are not told; files being written stay as far as they got.
    // Closing the sockets also stops watching them, so the hosts go last.
    DestroyAllSessions();
    WSACleanup();
    installHosts(false);
}

void TftpServer::installHosts(bool on)
{
    SetSocketNotifyHost(on ? socketNotifyHost.get() : nullptr);
    SetTimerHost(on ? timerHost.get() : nullptr);
}
