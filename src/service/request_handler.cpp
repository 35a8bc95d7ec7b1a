#include "service/request_handler.h"

#include "log/activity_log.h"
#include "log/log_text.h"
#include "platform/clock.h"
#include "service/packets.h"
#include "service/requested_file.h"
#include "service/server_socket.h"
#include "service/session_table.h"
#include "service/transfer_engine.h"
#include "settings/server_settings.h"

#include <sys/stat.h>

namespace {

// What the operator may watch of the transfer, taken once from the request:
// its name and mode, the time it starts, and how many bytes a read in octet
// mode will send. Netascii turns each line end into two bytes, so the wire
// size of a text read is not known before it ends.
void NoteTransferStart(Session* session, const Request& request)
{
    TransferProgress& progress = session->progress;
    CopyForLog(progress.fileName, sizeof progress.fileName, request.name, request.nameLength);
    progress.modeName = request.mode->name;
    progress.startedMs = MonotonicMilliseconds();
    struct stat status;
    if (session->opcode == kOpReadRequest && session->textMode == 0 &&
        ::fstat(fileno(session->file), &status) == 0)
        progress.totalBytes = static_cast<std::int64_t>(status.st_size);
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
    OpenResult opened = OpenRequestedFile(session, request.name);
    switch (opened.status) {
    case OpenStatus::Opened:
        NoteTransferStart(session, request);
        StartTransfer(session);
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
