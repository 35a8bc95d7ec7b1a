#include "app/server/startup_advice.h"

#include "platform/sockets.h"

#include <QRegularExpression>

#include <arpa/inet.h>

namespace {

constexpr int kFirstUnprivilegedPort = 1024;
constexpr int kFallbackTftpPort = 69;

// A path as a shell takes it: quoted only when it holds anything a shell
// would split or expand, so the usual path reads plainly.
QString ShellWord(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+,:@%=-]+$"));
    if (plain.match(text).hasMatch())
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

QString StartupAdvice(int errorNumber, int port, const QString& programPath)
{
    const QString portText = QString::number(port);
    switch (errorNumber) {
    case sockets::WSAEACCES:
        if (port >= kFirstUnprivilegedPort)
            return QStringLiteral("The system does not let this program open UDP port %1.")
                .arg(portText);
        return QStringLiteral("On Linux only a privileged program may open UDP port %1, like "
                              "every port below 1024: sudo setcap cap_net_bind_service=+ep %2 "
                              "gives this program that privilege, or sudo sysctl "
                              "net.ipv4.ip_unprivileged_port_start=%1 gives it to every program.")
            .arg(portText, ShellWord(programPath));
    case sockets::WSAEADDRINUSE:
        return QStringLiteral("UDP port %1 is already in use, probably by another TFTP server or "
                              "a second ferry; sudo ss -ulpn 'sport = :%1' shows which program "
                              "holds it.")
            .arg(portText);
    default:
        return {};
    }
}

int TftpServicePort()
{
    const int port = sockets::LookUpTftpPort();
    return port < 0 ? kFallbackTftpPort : ntohs(static_cast<std::uint16_t>(port));
}
