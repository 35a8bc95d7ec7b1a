#include "settings/settings_store.h"

#include "platform/file_identity.h"
#include "platform/file_replace.h"
#include "platform/full_path.h"
#include "platform/private_profile.h"
#include "platform/profile_location.h"
#include "settings/server_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kDefaultDirectoryKey = "DefaultDirectory";
constexpr const char* kRestrictDirectoryKey = "RestrictDirectory";
constexpr const char* kAccessModeKey = "AccessMode";
constexpr const char* kDiagnosticModeKey = "DiagnosticMode";
constexpr const char* kListenAddressKey = "ListenAddress";
constexpr const char* kTransferOptionsKey = "TransferOptions";

// The keys of the FERRY section that the settings own, in the order a
// rewritten working-directory file lists them.
constexpr const char* kOwnedKeys[] = {kDefaultDirectoryKey, kRestrictDirectoryKey,
                                      kAccessModeKey,       kDiagnosticModeKey,
                                      kListenAddressKey,    kTransferOptionsKey};

// The file LoadSettings read, as a full path.
std::string loadedFile;

// The flags are read back by exact words only; ASCII case folding keeps the
// comparison independent of the user's locale.
bool EqualsIgnoringCase(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        char x = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
        char y = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
        if (x != y)
            return false;
    }
    return *a == '\0' && *b == '\0';
}

// The working directory's ferry.ini in `path`, or false when the directory
// cannot be read or the whole path does not fit in 255 characters.
bool WorkingDirectoryFile(char (&path)[kMaxPath])
{
    if (!GetWorkingDirectory(path))
        return false;
    std::size_t length = std::strlen(path);
    const char* separator = (length > 0 && path[length - 1] == '/') ? "" : "/";
    int written =
        std::snprintf(path + length, sizeof path - length, "%s%s", separator, kSettingsFileName);
    if (written < 0 || static_cast<std::size_t>(written) >= sizeof path - length) {
        path[0] = '\0';
        return false;
    }
    return true;
}

void ReadDirectory(const char* key, char (&field)[256], const char* fileName)
{
    // A missing or empty key leaves the field empty; a longer value is cut
    // to the field's 255 characters.
    GetPrivateProfileString(kSettingsSection, key, "", field, sizeof field, fileName);
}

std::int32_t ReadFlag(const char* key, const char* onWord, const char* fileName)
{
    char value[256];
    if (GetPrivateProfileString(kSettingsSection, key, "", value, sizeof value, fileName) == 0)
        return 0;
    return EqualsIgnoringCase(value, onWord) ? 1 : 0;
}

bool HasKey(const char* key, const char* fileName)
{
    // No value read back can hold a line break, so this default marks a key
    // that is not there.
    char value[4];
    GetPrivateProfileString(kSettingsSection, key, "\n", value, sizeof value, fileName);
    return std::strcmp(value, "\n") != 0;
}

// The keys that came after the original four are written only once they are
// in use, so that the file of an operator who never used them stays as it
// was. `present` says which of them the file held before this save.
struct LaterKeys
{
    bool listenAddress = false;
    bool transferOptions = false;
};

LaterKeys LaterKeysIn(const char* fileName)
{
    return {HasKey(kListenAddressKey, fileName), HasKey(kTransferOptionsKey, fileName)};
}

bool WriteKeys(const char* fileName, const LaterKeys& present)
{
    const ServerSettings& s = serverSettings;
    // Each write is attempted even after a failure, so the file holds as
    // much of the settings as could be written.
    bool ok = WritePrivateProfileString(kSettingsSection, kDefaultDirectoryKey, s.defaultDirectory,
                                        fileName);
    ok = WritePrivateProfileString(kSettingsSection, kRestrictDirectoryKey, s.restrictDirectory,
                                   fileName) &&
         ok;
    ok = WritePrivateProfileString(kSettingsSection, kAccessModeKey,
                                   s.readWrite != 0 ? "ReadWrite" : "ReadOnly", fileName) &&
         ok;
    ok = WritePrivateProfileString(kSettingsSection, kDiagnosticModeKey,
                                   s.diagnostics != 0 ? "DiagnosticOn" : "DiagnosticOff",
                                   fileName) &&
         ok;
    if (s.listenAddress[0] != '\0' || present.listenAddress)
        ok = WritePrivateProfileString(kSettingsSection, kListenAddressKey, s.listenAddress,
                                       fileName) &&
             ok;
    if (s.transferOptions != 0 || present.transferOptions)
        ok = WritePrivateProfileString(kSettingsSection, kTransferOptionsKey,
                                       s.transferOptions != 0 ? "Negotiate" : "Off", fileName) &&
             ok;
    return ok;
}

// The whole content of the file at `path`: empty when there is none, false
// when something of that name cannot be read as a file.
bool ReadExistingFile(const std::string& path, std::string* content)
{
    content->clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT;
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    char chunk[4096];
    while (ok) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        content->append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return ok;
}

bool WriteAll(int fd, const std::string& content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Rewrites the working directory's ferry.ini with the settings' keys, in
// their own order at the end of the FERRY section. What the file holds
// besides them (other sections, the window's state, keys a later version
// added) stays as it was, so a file of nothing but the settings comes out
// as the four keys and nothing else. The new file is written beside it
// under another name and renamed over it in one step, so that a crash or a
// full disk leaves the old settings rather than an emptied file.
bool RewriteWorkingDirectoryFile(const char* linkOrPath)
{
    std::string path = FollowLink(linkOrPath);
    // A file the operator marked read-only is left alone, as is one in a
    // folder we may not write; the caller then falls back to the per-user file.
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0)
        return false;
    std::string kept;
    if (!ReadExistingFile(path, &kept))
        return false;
    const LaterKeys present = LaterKeysIn(path.c_str());

    std::string sibling;
    int fd = CreateSiblingFile(path, &sibling);
    if (fd < 0)
        return false;
    bool copied = WriteAll(fd, kept);
    ::close(fd);
    for (const char* key : kOwnedKeys)
        copied =
            copied && WritePrivateProfileString(kSettingsSection, key, nullptr, sibling.c_str());
    if (!copied || !WriteKeys(sibling.c_str(), present)) {
        ::unlink(sibling.c_str());
        return false;
    }
    return CommitSiblingFile(sibling, path);
}

} // namespace

void LoadSettings()
{
    char path[kMaxPath];
    const char* fileName = kSettingsFileName;
    struct stat info;
    // Any file or folder of that name counts: its presence alone says that
    // the operator keeps the settings beside the working directory.
    if (WorkingDirectoryFile(path) && ::stat(path, &info) == 0) {
        serverSettings.settingsInWorkingDir = 1;
        fileName = path;
    }

    loadedFile = ProfilePath(fileName);
    ReadDirectory(kDefaultDirectoryKey, serverSettings.defaultDirectory, fileName);
    ReadDirectory(kRestrictDirectoryKey, serverSettings.restrictDirectory, fileName);
    serverSettings.readWrite = ReadFlag(kAccessModeKey, "READWRITE", fileName);
    serverSettings.diagnostics = ReadFlag(kDiagnosticModeKey, "DIAGNOSTICON", fileName);
    GetPrivateProfileString(kSettingsSection, kListenAddressKey, "", serverSettings.listenAddress,
                            sizeof serverSettings.listenAddress, fileName);
    serverSettings.transferOptions = ReadFlag(kTransferOptionsKey, "NEGOTIATE", fileName);
}

void SaveSettings()
{
    // The working directory is asked anew: it may have moved since start-up,
    // and the settings follow it.
    char path[kMaxPath];
    if (serverSettings.settingsInWorkingDir == 1 && WorkingDirectoryFile(path) &&
        RewriteWorkingDirectoryFile(path))
        return;
    WriteKeys(kSettingsFileName, LaterKeysIn(kSettingsFileName));
}

std::string SettingsFilePath()
{
    return loadedFile.empty() ? ProfilePath(kSettingsFileName) : loadedFile;
}

bool IsSettingsFile(const char* path)
{
    char workingDirectoryFile[kMaxPath];
    if (WorkingDirectoryFile(workingDirectoryFile) && NamesSameFile(path, workingDirectoryFile))
        return true;
    if (!loadedFile.empty() && NamesSameFile(path, loadedFile))
        return true;
    return NamesSameFile(path, ProfilePath(kSettingsFileName));
}
