#include "service/operator_end.h"

#include "log/activity_log.h"
#include "service/packets.h"
#include "service/server_socket.h"
#include "service/session_table.h"

namespace {

constexpr const char* kEndedByOperator = "Transfer ended by the operator";

Session* FindTransfer(std::uint64_t serial)
{
    for (Session* s = SessionTable; s != nullptr; s = s->next) {
        if (s->progress.serial == serial)
            return s->file != nullptr ? s : nullptr;
    }
    return nullptr;
}

} // namespace

bool EndTransferByOperator(std::uint64_t serial)
{
    Session* session = FindTransfer(serial);
    if (session == nullptr)
        return false;
    const bool receiving = session->opcode == kOpWriteRequest;
    LogLine("Transfer of file %s %s %s port %u ended by the operator\r\n",
            session->progress.fileName, receiving ? "from" : "to", session->peerText,
            static_cast<unsigned>(AddressPort(session->peer)));
    session->progress.end = TransferEnd::EndedByOperator;
    session->packetLength = static_cast<std::int32_t>(
        BuildErrorMessage(session->packet, TftpError::Undefined, kEndedByOperator));
    // The peer learns why at once instead of resending into the void; a
    // failed send ends the session all the same.
    if (SendPacket(session) != 0)
        return true;
    DestroySession(session);
    return true;
}
