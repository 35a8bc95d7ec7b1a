#include "service/service_lifetime.h"

#include "platform/sockets.h"
#include "service/server_socket.h"
#include "service/session_table.h"

namespace {

constexpr std::uint16_t kWantedVersion = 0x0101; // 1.1
// The generic text for this number stands for "sockets service too old".
constexpr int kVersionTooOld = 200;

bool socketsStarted = false;

} // namespace

ServiceStart StartService()
{
    int error = sockets::WSAStartup(kWantedVersion, &wsaData);
    if (error != 0)
        return {StartFailure::SocketsService, error};
    socketsStarted = true;

    unsigned major = wsaData.wVersion & 0xFFu;
    unsigned minor = wsaData.wVersion >> 8;
    if (major < 1 || (major == 1 && minor < 1))
        return {StartFailure::SocketsVersion, kVersionTooOld};
    if (OpenServerSocket() != 0) {
        // Read at once: whatever the caller shows next may set another error.
        return {StartFailure::ServerSocketOpen, sockets::WSAGetLastError()};
    }
    return {};
}

void StopService()
{
    if (!socketsStarted)
        return;
    socketsStarted = false;
    // Peers are not told; files being written stay as far as they got.
    DestroyAllSessions();
    sockets::WSACleanup();
    ServerSocket = sockets::INVALID_SOCKET;
}
