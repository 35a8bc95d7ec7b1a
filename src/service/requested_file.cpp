#include "service/requested_file.h"

#include "log/activity_log.h"
#include "log/log_text.h"
#include "platform/clock.h"
#include "platform/full_path.h"
#include "service/session_table.h"
#include "settings/server_settings.h"
#include "settings/settings_store.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

using Path = char[kMaxPath];

constexpr OpenResult kAccessViolation{OpenStatus::AccessViolation, 0};

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// Places the name in its directory: the directory part of the name against
// the working directory, or a bare name in the default (or working)
// directory. False when it cannot be resolved.
bool ResolveRequestDirectory(const char* name, std::size_t split, bool hasDirectory,
                             Path& requestDirectory)
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

// The request directory and the name part joined into `fullSpecification`.
// False, with its own log line, when the name part is no file name of its
// own or the whole path does not fit.
bool BuildFullSpecification(const Path& requestDirectory, const char* namePart,
                            Path& fullSpecification)
{
    // The file must lie directly in the directory that is checked later.
    if (namePart[0] == '\0' || std::strcmp(namePart, ".") == 0 ||
        std::strcmp(namePart, "..") == 0) {
        LogLine("The requested file name is not valid\r\n");
        return false;
    }
    std::size_t directoryLength = std::strlen(requestDirectory);
    bool needsSeparator = directoryLength > 0 && requestDirectory[directoryLength - 1] != '/';
    std::size_t namePartLength = std::strlen(namePart);
    if (directoryLength + (needsSeparator ? 1 : 0) + namePartLength >= kMaxPath) {
        LogLine("The requested file name is too long\r\n");
        return false;
    }
    std::memcpy(fullSpecification, requestDirectory, directoryLength);
    if (needsSeparator)
        fullSpecification[directoryLength++] = '/';
    std::memcpy(fullSpecification + directoryLength, namePart, namePartLength + 1);
    return true;
}

// True when no directory is restricted or the request directory is it.
bool InRestrictedDirectory(const Path& requestDirectory)
{
    if (serverSettings.restrictDirectory[0] == '\0')
        return true;
    Path resolved;
    // Letter case counts: on this file system /srv/TFTP is not /srv/tftp.
    if (GetFullPathName(serverSettings.restrictDirectory, resolved) != 0 &&
        std::strcmp(resolved, requestDirectory) == 0)
        return true;
    const char* shown = resolved[0] != '\0' ? resolved : serverSettings.restrictDirectory;
    LogLine("The requested file was not in the restricted directory %s\r\n", shown);
    return false;
}

// The file's permission bits, before anything is opened.
OpenResult CheckPermissions(const char* fullSpecification, bool forWriting)
{
    struct stat status
    {
    };

    if (!forWriting) {
        if (::stat(fullSpecification, &status) != 0)
            return {errno == ENOENT ? OpenStatus::NotFound : OpenStatus::AccessViolation, 0};
        if ((status.st_mode & S_IRUSR) == 0) {
            LogLine("The specified file has no read access\r\n");
            return kAccessViolation;
        }
    } else if (::stat(fullSpecification, &status) == 0 && (status.st_mode & S_IWUSR) == 0) {
        LogLine("The specified file exists but is set read only\r\n");
        return kAccessViolation;
    }
    return {};
}

// True unless the file system of `directory` surely lacks room for
// `bytes`; the file to be replaced gives back what it holds.
bool HasRoomFor(const Path& directory, const char* fullSpecification, std::int64_t bytes)
{
    struct statvfs system
    {
    };

    if (::statvfs(directory, &system) != 0)
        return true; // cannot tell: a full disk still shows when writing
    std::uint64_t available = static_cast<std::uint64_t>(system.f_bavail) * system.f_frsize;

    struct stat existing
    {
    };

    if (::stat(fullSpecification, &existing) == 0 && S_ISREG(existing.st_mode))
        available += static_cast<std::uint64_t>(existing.st_blocks) * 512;
    return static_cast<std::uint64_t>(bytes) <= available;
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

// A path as a log line may quote it: the requested name part is the peer's.
void ShowPath(const Path& path, Path& shown)
{
    CopyForLog(shown, sizeof shown, path, sizeof path);
}

} // namespace

OpenResult OpenRequestedFile(Session* session, const char* name, std::int64_t announcedBytes)
{
    std::size_t split = std::strlen(name);
    while (split > 0 && !IsSeparator(name[split - 1]))
        --split;
    bool hasDirectory = split > 0;
    const char* namePart = name + split;
    if (hasDirectory)
        --split; // index of the separator itself

    Path requestDirectory;
    if (!ResolveRequestDirectory(name, split, hasDirectory, requestDirectory)) {
        LogLine("The directory of the requested file could not be resolved\r\n");
        return kAccessViolation;
    }
    Path fullSpecification;
    if (!BuildFullSpecification(requestDirectory, namePart, fullSpecification))
        return kAccessViolation;
    Path shown;
    if (DiagnosticsOn()) {
        ShowPath(fullSpecification, shown);
        LogLine("Fully expanded file specification : %s\r\n", shown);
    }
    if (!InRestrictedDirectory(requestDirectory))
        return kAccessViolation;

    bool forWriting = session->opcode == kOpWriteRequest;
    // Whoever could write the settings could lift every restriction at the
    // next start.
    if (forWriting && IsSettingsFile(fullSpecification)) {
        LogLine("The requested file is the settings file of this server\r\n");
        return kAccessViolation;
    }
    OpenResult permitted = CheckPermissions(fullSpecification, forWriting);
    if (permitted.status != OpenStatus::Opened)
        return permitted;
    if (forWriting && announcedBytes >= 0 &&
        !HasRoomFor(requestDirectory, fullSpecification, announcedBytes)) {
        LogLine("There is no room for the %lld bytes announced by %s\r\n",
                static_cast<long long>(announcedBytes), session->peerText);
        return {OpenStatus::NoRoom, 0};
    }

    std::FILE* file = OpenRegularFile(fullSpecification, forWriting);
    if (file == nullptr) {
        int error = errno;
        ShowPath(fullSpecification, shown);
        LogLine("Error opening the file %s\r\n", shown);
        return {OpenStatus::OpenFailed, error};
    }
    session->file = file;
    session->startTime = CurrentTime();
    return {};
}
