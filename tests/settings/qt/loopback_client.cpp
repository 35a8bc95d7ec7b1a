#include "loopback_client.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackClient::LoopbackClient(std::uint16_t serverPort)
{
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    server.sin_family = AF_INET;
    server.sin_port = htons(serverPort);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
}

LoopbackClient::~LoopbackClient()
{
    ::close(fd);
}

bool LoopbackClient::Send(const std::string& datagram)
{
    const ssize_t sent = ::sendto(fd, datagram.data(), datagram.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&server), sizeof server);
    return sent == static_cast<ssize_t>(datagram.size());
}

std::optional<std::string> LoopbackClient::TryReceive()
{
    char buffer[2048];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0) {
        return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::optional<std::string> LoopbackClient::WaitForDatagram(int guardMs)
{
    if (auto datagram = TryReceive()) {
        return datagram;
    }
    // The server answers from the same event loop, so wait in one.
    QEventLoop loop;
    QSocketNotifier readable(fd, QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    QTimer::singleShot(guardMs, &loop, &QEventLoop::quit);
    loop.exec();
    return TryReceive();
}
