#include "service/request_handler.h"

#include "log/activity_log.h"
#include "log/log_text.h"
#include "platform/clock.h"
#include "service/packets.h"
#include "service/requested_file.h"
#include "service/server_socket.h"
#include "service/session_table.h"
#include "service/transfer_engine.h"
#include "service/transfer_options.h"
#include "settings/server_settings.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

// What the operator may watch of the transfer, taken once from the request:
// its name and mode, the time it starts, and how many bytes a read in octet
// mode will send. Netascii turns each line end into two bytes, so the wire
// size of a text read is not known before it ends.
void NoteTransferStart(Session* session, const Request& request, const TransferOptions& asked)
{
    TransferProgress& progress = session->progress;
    CopyForLog(progress.fileName, sizeof progress.fileName, request.name, request.nameLength);
    progress.modeName = request.mode->name;
    progress.startedMs = MonotonicMilliseconds();
    struct stat status;
    if (session->opcode == kOpReadRequest && session->textMode == 0 &&
        ::fstat(fileno(session->file), &status) == 0)
        progress.totalBytes = static_cast<std::int64_t>(status.st_size);
    if (session->opcode == kOpWriteRequest)
        progress.totalBytes = asked.transferSize; // -1 when not announced
}

// Puts the options the server accepts into the Session and builds their
// OACK, which StartTransfer sends. A read's size is answered in octet mode
// only: the size of a netascii transfer is known when it ends. False when
// the Session was destroyed.
bool AgreeOptions(Session* session, TransferOptions agreed)
{
    if (agreed.blockSize >= 0 &&
        !SetBlockSize(session, static_cast<std::uint32_t>(agreed.blockSize))) {
        SendLibraryErrorReply(session, ENOMEM);
        return false;
    }
    if (session->opcode == kOpReadRequest && agreed.transferSize >= 0)
        agreed.transferSize = session->textMode == 0 ? session->progress.totalBytes : -1;
    if (agreed.timeout >= 0)
        session->retransmitMs = static_cast<std::uint32_t>(agreed.timeout) * 1000;
    if (agreed.windowSize >= 0) {
        agreed.windowSize = GrantedWindow(agreed.windowSize, session->blockSize);
        session->windowSize = static_cast<std::uint16_t>(agreed.windowSize);
    }
    if (!agreed.Any())
        return true;
    session->packetLength = static_cast<std::int32_t>(BuildOack(session->packet, agreed));
    session->oackPending = true;
    char values[128];
    DescribeOptions(agreed, values, sizeof values);
    LogLine("Options agreed with %s: %s\r\n", session->peerText, values);
    return true;
}

} // namespace

void HandleRequest(Session* session, const unsigned char* datagram, std::size_t length)
{
    Request request{};
    if (!ParseRequest(datagram, length, &request)) {
        SendErrorReply(session, TftpError::IllegalOperation);
        return;
    }
    session->textMode = request.mode->textMode;

    const bool forWriting = session->opcode == kOpWriteRequest;
    char shownName[kMessageBufferSize];
    CopyForLog(shownName, sizeof shownName, request.name, request.nameLength);
    LogLine("%s requested to %s file %s in format %s\r\n", session->peerText,
            forWriting ? "write" : "read", shownName, request.mode->name);

    if (serverSettings.readWrite == 0 && forWriting) {
        SendErrorReply(session, TftpError::AccessViolation);
        return;
    }
    TransferOptions asked;
    if (TransferOptionsOn())
        asked = ParseOptions(request.options, request.optionsLength);
    OpenResult opened = OpenRequestedFile(session, request.name, asked.transferSize);
    switch (opened.status) {
    case OpenStatus::Opened:
        NoteTransferStart(session, request, asked);
        if (asked.Any() && !AgreeOptions(session, asked))
            return;
        StartTransfer(session);
        return;
    case OpenStatus::NoRoom:
        session->progress.end = TransferEnd::DiskFull;
        SendErrorReply(session, TftpError::DiskFull);
        return;
    case OpenStatus::NotFound:
        SendErrorReply(session, TftpError::FileNotFound);
        return;
    case OpenStatus::AccessViolation:
        SendErrorReply(session, TftpError::AccessViolation);
        return;
    case OpenStatus::OpenFailed:
        SendLibraryErrorReply(session, opened.errorNumber);
        return;
    }
}
