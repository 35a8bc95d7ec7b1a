#include "app/server/tftp_server.h"

#include "app/common/message_box.h"
#include "log/activity_log.h"
#include "platform/sockets.h"
#include "service/server_socket.h"

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

} // namespace

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
