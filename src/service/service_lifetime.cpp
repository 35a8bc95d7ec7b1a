#include "service/service_lifetime.h"

#include "platform/sockets.h"
#include "service/dispatcher.h"
#include "service/retransmit_timer.h"
#include "service/server_socket.h"
#include "service/session_table.h"

namespace {

constexpr std::uint16_t kWantedVersion = 0x0101; // 1.1
// The generic text for this number stands for "sockets service too old".
constexpr int kVersionTooOld = 200;

// Filled when the sockets service starts; the start-up line shows its version.
sockets::WSADATA socketsData;
bool socketsStarted = false;

} // namespace

ServiceStart StartService()
{
    // Every expiry of a retransmission timer comes back through the
    // dispatcher, like every datagram.
    SetRetransmitHandler(OnRetransmitTimer);
    int error = sockets::WSAStartup(kWantedVersion, &socketsData);
    if (error != 0)
        return {StartFailure::SocketsService, error};
    socketsStarted = true;

    unsigned major = socketsData.wVersion & 0xFFu;
    unsigned minor = socketsData.wVersion >> 8;
    if (major < 1 || (major == 1 && minor < 1))
        return {StartFailure::SocketsVersion, kVersionTooOld};
    ListenProblem problem = ListenProblem::None;
    if (OpenServerSocket(socketsData, &problem) != 0) {
        // Read at once: whatever the caller shows next may set another error.
        int openError = sockets::WSAGetLastError();
        if (problem != ListenProblem::None)
            return {StartFailure::ListenAddress, openError, problem};
        return {StartFailure::ServerSocketOpen, openError};
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
