#include "platform/sockets.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace sockets {

namespace {

int lastError = 0;
bool started = false;
std::vector<SOCKET> openSockets;
SocketNotifyHost* notifyHost = nullptr;

int portOverride = -1;
bool startupOverridden = false;
int startupError = 0;
std::uint16_t startupVersion = 0x0101;

void SetErrorFromErrno()
{
    lastError = WsaErrorFromErrno(errno);
}

} // namespace

int WsaErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return 0;
    case EINTR:
        return WSAEINTR;
    case EBADF:
        return WSAEBADF;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EWOULDBLOCK:
        return WSAEWOULDBLOCK;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EAFNOSUPPORT:
        return WSAEAFNOSUPPORT;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    default:
        // Windows Sockets numbers its errors 10000 + the BSD errno; that is
        // the closest reading for anything not mapped above.
        return 10000 + error;
    }
}

int WSAStartup(std::uint16_t requestedVersion, WSADATA* data)
{
    if (startupOverridden && startupError != 0)
        return startupError;
    std::uint16_t granted = startupOverridden ? startupVersion : requestedVersion;
    if (data != nullptr) {
        *data = WSADATA{};
        data->wVersion = granted;
        data->wHighVersion = startupOverridden ? startupVersion : std::uint16_t{0x0202};
        std::snprintf(data->szDescription, sizeof data->szDescription, "%s", "POSIX sockets");
        std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "%s", "Running");
    }
    started = true;
    return 0;
}

int WSACleanup()
{
    for (SOCKET s : openSockets) {
        if (notifyHost != nullptr)
            notifyHost->Unwatch(s);
        ::close(s);
    }
    openSockets.clear();
    started = false;
    return 0;
}

int WSAGetLastError()
{
    return lastError;
}

void WSASetLastError(int error)
{
    lastError = error;
}

SOCKET CreateUdpSocket(int family)
{
    SOCKET s = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        SetErrorFromErrno();
        return INVALID_SOCKET;
    }
    openSockets.push_back(s);
    return s;
}

int CloseSocket(SOCKET s)
{
    if (notifyHost != nullptr)
        notifyHost->Unwatch(s);
    openSockets.erase(std::remove(openSockets.begin(), openSockets.end(), s), openSockets.end());
    if (::close(s) != 0) {
        SetErrorFromErrno();
        return SOCKET_ERROR;
    }
    return 0;
}

int BindSocket(SOCKET s, const SocketAddress& address)
{
    if (::bind(s, &address.any, AddressLength(address)) != 0) {
        SetErrorFromErrno();
        return SOCKET_ERROR;
    }
    return 0;
}

int GetSocketName(SOCKET s, SocketAddress* address)
{
    socklen_t length = sizeof *address;
    *address = SocketAddress{};
    if (::getsockname(s, &address->any, &length) != 0) {
        SetErrorFromErrno();
        return SOCKET_ERROR;
    }
    return 0;
}

int SetSocketOption(SOCKET s, int level, int name, int value)
{
    if (::setsockopt(s, level, name, &value, sizeof value) != 0) {
        SetErrorFromErrno();
        return SOCKET_ERROR;
    }
    return 0;
}

int LookUpTftpPort()
{
    if (portOverride != -1)
        return portOverride;
    const servent* entry = ::getservbyname("tftp", nullptr);
    if (entry == nullptr) {
        // getservbyname sets no errno of its own; the original service
        // reported "no data record" here.
        lastError = 11004;
        return -1;
    }
    return static_cast<std::uint16_t>(entry->s_port);
}

int WSAAsyncSelect(SOCKET s, int events)
{
    int flags = ::fcntl(s, F_GETFL);
    if (flags < 0 || ::fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0) {
        SetErrorFromErrno();
        return SOCKET_ERROR;
    }
    if ((events & FD_READ) != 0 && notifyHost != nullptr && notifyHost->Watch(s) != 0) {
        lastError = WSAEINVAL;
        return SOCKET_ERROR;
    }
    return 0;
}

int ReceiveDatagram(SOCKET s, void* buffer, std::size_t size, SocketAddress* from,
                    socklen_t* fromLength)
{
    iovec part{buffer, size};
    msghdr message{};
    message.msg_name = from;
    message.msg_namelen = from != nullptr ? sizeof *from : 0;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t received = ::recvmsg(s, &message, 0);
    if (received < 0) {
        SetErrorFromErrno();
        return SOCKET_ERROR;
    }
    if (fromLength != nullptr)
        *fromLength = message.msg_namelen;
    if ((message.msg_flags & MSG_TRUNC) != 0) {
        lastError = WSAEMSGSIZE;
        return SOCKET_ERROR;
    }
    return static_cast<int>(received);
}

int SendDatagram(SOCKET s, const void* data, std::size_t length, const SocketAddress& to)
{
    ssize_t sent = ::sendto(s, data, length, MSG_DONTWAIT, &to.any, AddressLength(to));
    if (sent < 0) {
        SetErrorFromErrno();
        return SOCKET_ERROR;
    }
    return static_cast<int>(sent);
}

int SendDatagrams(SOCKET s, const OutgoingDatagram* datagrams, std::size_t count,
                  const SocketAddress& to)
{
    // A window of blocks goes out in one call where it went out in one call
    // per block.
    constexpr std::size_t kBatch = 64;
    std::size_t done = 0;
    while (done < count) {
        iovec parts[kBatch];
        mmsghdr messages[kBatch]{};
        const std::size_t batch = std::min(count - done, kBatch);
        for (std::size_t i = 0; i < batch; ++i) {
            parts[i] = {const_cast<void*>(datagrams[done + i].data), datagrams[done + i].length};
            messages[i].msg_hdr.msg_name = const_cast<sockaddr*>(&to.any);
            messages[i].msg_hdr.msg_namelen = AddressLength(to);
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        int sent = ::sendmmsg(s, messages, static_cast<unsigned>(batch), MSG_DONTWAIT);
        if (sent <= 0) {
            if (done > 0)
                break;
            SetErrorFromErrno();
            return SOCKET_ERROR;
        }
        done += static_cast<std::size_t>(sent);
    }
    return static_cast<int>(done);
}

void SetSocketNotifyHost(SocketNotifyHost* host)
{
    notifyHost = host;
}

} // namespace sockets

namespace sockets_testing {

void SetTftpPortOverride(int portInNetworkOrder)
{
    sockets::portOverride = portInNetworkOrder;
}

void SetStartupResult(int error, std::uint16_t version)
{
    sockets::startupOverridden = true;
    sockets::startupError = error;
    sockets::startupVersion = version;
}

void ResetStartupResult()
{
    sockets::startupOverridden = false;
    sockets::startupError = 0;
    sockets::startupVersion = 0x0101;
}

} // namespace sockets_testing
