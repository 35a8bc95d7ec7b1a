#include "service/session_table.h"

#include "log/activity_log.h"
#include "platform/timers.h"
#include "service/transfer_ends.h"
#include "settings/server_settings.h"

#include <arpa/inet.h>
#include <cstring>
#include <new>

Session* SessionTable = nullptr;

namespace {
std::uint64_t lastSerial = 0;
} // namespace

Session* CreateSession(const sockaddr_in& address)
{
    Session* session = new (std::nothrow) Session{};
    if (session == nullptr)
        return nullptr;
    session->file = nullptr;
    session->progress.serial = ++lastSerial;
    inet_ntop(AF_INET, &address.sin_addr, session->peerText, sizeof session->peerText);
    std::memcpy(&session->peer, &address, sizeof session->peer);
    if (DiagnosticsOn())
        LogLine("New session created from IPADDR %s remote port %u\r\n", session->peerText,
                static_cast<unsigned>(ntohs(address.sin_port)));

    session->next = nullptr;
    session->prev = nullptr;
    if (SessionTable == nullptr) {
        SessionTable = session;
    } else {
        Session* tail = SessionTable;
        while (tail->next != nullptr)
            tail = tail->next;
        tail->next = session;
        session->prev = tail;
    }
    return session;
}

Session* FindSession(const sockaddr_in* address, socklen_t addressLength)
{
    if (addressLength != sizeof(sockaddr_in)) {
        if (DiagnosticsOn())
            LogLine("recvfrom socket information is too short\r\n");
        return nullptr;
    }
    for (Session* s = SessionTable; s != nullptr; s = s->next) {
        // Family, port and address; the zero padding is not compared.
        if (s->peer.sin_family == address->sin_family && s->peer.sin_port == address->sin_port &&
            s->peer.sin_addr.s_addr == address->sin_addr.s_addr)
            return s;
    }
    return nullptr;
}

Session* FindSessionByTimer(std::uint32_t timerId)
{
    if (timerId == 0)
        return nullptr; // no timer has that identifier; it marks a Session without one
    Session* session = SessionTable;
    while (session != nullptr && session->timerId != timerId)
        session = session->next;
    return session;
}

void DestroySession(Session* session)
{
    if (session == nullptr)
        return;
    if (DiagnosticsOn())
        LogLine("Session destroyed to IPADDR %s remote port %u\r\n", session->peerText,
                static_cast<unsigned>(ntohs(session->peer.sin_port)));
    // A timer left running would fire every five seconds for nothing.
    if (session->timerId != 0)
        KillTimer(session->timerId);
    if (session->file != nullptr) {
        RecordTransferEnd(session->progress, session->peerText, ntohs(session->peer.sin_port),
                          session->opcode == kOpWriteRequest);
        // An upload cut short keeps everything that arrived, a held-back
        // CR included.
        FinishNetascii(session->file, session->netascii);
        std::fclose(session->file);
    }

    if (session->prev != nullptr)
        session->prev->next = session->next;
    else
        SessionTable = session->next;
    if (session->next != nullptr)
        session->next->prev = session->prev;
    delete session;
}

void DestroyAllSessions()
{
    while (SessionTable != nullptr)
        DestroySession(SessionTable);
}
