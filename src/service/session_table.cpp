#include "service/session_table.h"

#include "log/activity_log.h"
#include "platform/timers.h"
#include "service/transfer_ends.h"
#include "settings/server_settings.h"

#include <new>

Session* SessionTable = nullptr;

namespace {
std::uint64_t lastSerial = 0;
} // namespace

Session* CreateSession(const SocketAddress& address)
{
    Session* session = new (std::nothrow) Session{};
    if (session == nullptr)
        return nullptr;
    session->file = nullptr;
    session->packet = session->smallPacket;
    session->blockSize = kBlockSize;
    session->progress.serial = ++lastSerial;
    FormatHost(address, session->peerText, sizeof session->peerText);
    session->peer = address;
    if (DiagnosticsOn())
        LogLine("New session created from IPADDR %s remote port %u\r\n", session->peerText,
                static_cast<unsigned>(AddressPort(address)));

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

Session* FindSession(const SocketAddress* address, socklen_t addressLength)
{
    if (addressLength == 0 || addressLength != AddressLength(*address)) {
        if (DiagnosticsOn())
            LogLine("recvfrom socket information is too short\r\n");
        return nullptr;
    }
    for (Session* s = SessionTable; s != nullptr; s = s->next) {
        if (SamePeer(s->peer, *address))
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

bool SetBlockSize(Session* session, std::uint32_t blockSize)
{
    if (blockSize > kBlockSize) {
        unsigned char* buffer = new (std::nothrow) unsigned char[kHeaderSize + blockSize];
        if (buffer == nullptr)
            return false;
        session->packet = buffer;
    }
    session->blockSize = blockSize;
    return true;
}

void DestroySession(Session* session)
{
    if (session == nullptr)
        return;
    if (DiagnosticsOn())
        LogLine("Session destroyed to IPADDR %s remote port %u\r\n", session->peerText,
                static_cast<unsigned>(AddressPort(session->peer)));
    // A timer left running would fire every five seconds for nothing.
    if (session->timerId != 0)
        KillTimer(session->timerId);
    if (session->file != nullptr) {
        RecordTransferEnd(session->progress, session->peerText, AddressPort(session->peer),
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
    if (session->packet != session->smallPacket)
        delete[] session->packet;
    delete session;
}

void DestroyAllSessions()
{
    while (SessionTable != nullptr)
        DestroySession(SessionTable);
}
