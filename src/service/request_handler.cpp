#include "service/request_handler.h"

#include "log/activity_log.h"
#include "log/log_text.h"
#include "platform/clock.h"
#include "platform/full_path.h"
#include "service/packets.h"
#include "service/server_socket.h"
#include "service/session_table.h"
#include "service/transfer_engine.h"
#include "settings/server_settings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Kept from one request to the next, like the rest of the server's state;
// each request overwrites them before use.
char requestDirectory[kMaxPath];
char fullSpecification[kMaxPath];
char resolvedRestrictedDirectory[kMaxPath];

const unsigned char* FindNul(const unsigned char* from, const unsigned char* end)
{
    return static_cast<const unsigned char*>(
        std::memchr(from, '\0', static_cast<std::size_t>(end - from)));
}

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// Places the name in its directory: the directory part of the name against
// the working directory, or a bare name in the default (or working)
// directory. Fills requestDirectory; false when it cannot be resolved.
bool ResolveRequestDirectory(const char* name, std::size_t split, bool hasDirectory)
{
    if (hasDirectory) {
        // A name whose only separator leads it ("/boot.img") names the root.
        if (split == 0)
            return GetFullPathName("/", requestDirectory) != 0;
        char directoryPart[kMaxDatagram];
        std::memcpy(directoryPart, name, split);
        directoryPart[split] = '\0';
        return GetFullPathName(directoryPart, requestDirectory) != 0;
    }
    if (serverSettings.defaultDirectory[0] != '\0')
        return GetFullPathName(serverSettings.defaultDirectory, requestDirectory) != 0;
    return GetWorkingDirectory(requestDirectory);
}

// Opens only regular files. Devices and FIFOs could stream forever or block
// the one thread, so they are refused like a failed open. The status is
// checked again on the open descriptor in case the name changed meanwhile.
std::FILE* OpenRegularFile(const char* path, bool forWriting)
{
    int flags = O_CLOEXEC | O_NONBLOCK | (forWriting ? O_RDWR | O_CREAT : O_RDONLY);
    int fd = ::open(path, flags, 0666);
    if (fd < 0)
        return nullptr;

    struct stat status
    {
    };

    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        int error = S_ISDIR(status.st_mode) ? EISDIR : EPERM;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    if ((forWriting && ::ftruncate(fd, 0) != 0) || ::fcntl(fd, F_SETFL, flags & O_ACCMODE) != 0) {
        int error = errno;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, forWriting ? "w+b" : "rb");
    if (file == nullptr) {
        int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

} // namespace

int OpenRequestedFile(Session* session, const char* name)
{
    std::size_t nameLength = std::strlen(name);
    std::size_t split = nameLength;
    while (split > 0 && !IsSeparator(name[split - 1]))
        --split;
    bool hasDirectory = split > 0;
    const char* namePart = name + split;
    if (hasDirectory)
        --split; // index of the separator itself

    if (!ResolveRequestDirectory(name, split, hasDirectory)) {
        LogLine("The directory of the requested file could not be resolved\r\n");
        return 2;
    }

    // The file must lie directly in the directory that is checked below.
    if (namePart[0] == '\0' || std::strcmp(namePart, ".") == 0 ||
        std::strcmp(namePart, "..") == 0) {
        LogLine("The requested file name is not valid\r\n");
        return 2;
    }

    std::size_t directoryLength = std::strlen(requestDirectory);
    bool needsSeparator = directoryLength > 0 && requestDirectory[directoryLength - 1] != '/';
    std::size_t namePartLength = std::strlen(namePart);
    if (directoryLength + (needsSeparator ? 1 : 0) + namePartLength >= kMaxPath) {
        LogLine("The requested file name is too long\r\n");
        return 2;
    }
    std::memcpy(fullSpecification, requestDirectory, directoryLength);
    if (needsSeparator)
        fullSpecification[directoryLength++] = '/';
    std::memcpy(fullSpecification + directoryLength, namePart, namePartLength + 1);

    if (DiagnosticsOn()) {
        char shown[kMaxPath];
        CopyForLog(shown, sizeof shown, fullSpecification, sizeof fullSpecification);
        LogLine("Fully expanded file specification : %s\r\n", shown);
    }

    if (serverSettings.restrictDirectory[0] != '\0') {
        // Letter case counts: on this file system /srv/TFTP is not /srv/tftp.
        if (GetFullPathName(serverSettings.restrictDirectory, resolvedRestrictedDirectory) == 0 ||
            std::strcmp(resolvedRestrictedDirectory, requestDirectory) != 0) {
            const char* shown = resolvedRestrictedDirectory[0] != '\0'
                                    ? resolvedRestrictedDirectory
                                    : serverSettings.restrictDirectory;
            LogLine("The requested file was not in the restricted directory %s\r\n", shown);
            return 2;
        }
    }

    bool forWriting = session->opcode == kOpWriteRequest;

    struct stat status
    {
    };

    if (!forWriting) {
        if (::stat(fullSpecification, &status) != 0)
            return errno == ENOENT ? 1 : 2;
        if ((status.st_mode & S_IRUSR) == 0) {
            LogLine("The specified file has no read access\r\n");
            return 2;
        }
    } else if (::stat(fullSpecification, &status) == 0 && (status.st_mode & S_IWUSR) == 0) {
        LogLine("The specified file exists but is set read only\r\n");
        return 2;
    }

    std::FILE* file = OpenRegularFile(fullSpecification, forWriting);
    if (file == nullptr) {
        int error = errno;
        char shown[kMaxPath];
        CopyForLog(shown, sizeof shown, fullSpecification, sizeof fullSpecification);
        LogLine("Error opening the file %s\r\n", shown);
        return error + kLibraryErrorBase;
    }
    session->file = file;
    session->startTime = CurrentTime();
    return 0;
}

void HandleRequest(Session* session, unsigned char* datagram, std::size_t length)
{
    const unsigned char* end = datagram + length;
    const unsigned char* nameEnd = length > 2 ? FindNul(datagram + 2, end) : nullptr;
    if (nameEnd == nullptr) {
        SendErrorReply(session, 4);
        return;
    }
    unsigned char* mode = datagram + (nameEnd - datagram) + 1;
    const unsigned char* modeEnd = mode < end ? FindNul(mode, end) : nullptr;
    if (modeEnd == nullptr) {
        SendErrorReply(session, 4);
        return;
    }
    // Whatever follows the mode (request options) is neither read nor answered.
    for (unsigned char* c = mode; c < modeEnd; ++c) {
        if (*c >= 'A' && *c <= 'Z')
            *c = static_cast<unsigned char>(*c - 'A' + 'a');
    }
    const ModeTableRow* row = ModeTable;
    while (row->name != nullptr && std::strcmp(row->name, reinterpret_cast<char*>(mode)) != 0)
        ++row;
    if (row->name == nullptr) {
        SendErrorReply(session, 4);
        return;
    }
    session->textMode = row->textMode;

    const char* name = reinterpret_cast<const char*>(datagram + 2);
    char shownName[kMessageBufferSize];
    CopyForLog(shownName, sizeof shownName, name, static_cast<std::size_t>(nameEnd - datagram - 2));
    LogLine("%s requested to %s file %s in format %s\r\n", session->peerText,
            session->opcode == kOpWriteRequest ? "write" : "read", shownName, row->name);

    if (serverSettings.readWrite == 0 && session->opcode == kOpWriteRequest) {
        SendErrorReply(session, 2);
        return;
    }
    int result = OpenRequestedFile(session, name);
    if (result != 0) {
        SendErrorReply(session, result);
        return;
    }

    if (session->opcode == kOpReadRequest) {
        SendNextBlock(session);
        return;
    }
    WriteWord(session->packet, kOpAck);
    WriteWord(session->packet + 2, session->block);
    ++session->block;
    session->packetLength = 4;
    if (SendPacket(session) != 0)
        return;
    ArmRetransmitTimer(session);
}
