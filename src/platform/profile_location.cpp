#include "platform/profile_location.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string HomeDirectory()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return home;
    const passwd* entry = ::getpwuid(::getuid());
    if (entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return "/";
}

bool MakeFolders(const std::string& folder)
{
    std::size_t pos = 1;
    while (pos <= folder.size()) {
        std::size_t slash = folder.find('/', pos);
        if (slash == std::string::npos)
            slash = folder.size();
        std::string step = folder.substr(0, slash);
        if (::mkdir(step.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        pos = slash + 1;
    }
    struct stat info;
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string ProfileDirectory()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base
    // directory rules ask, so the place does not move with the working
    // directory.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        base = HomeDirectory();
        if (base.empty() || base.back() != '/')
            base += '/';
        base += ".config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (base != "/")
        base += '/';
    return base + "ferry";
}

std::string ProfilePath(const char* fileName)
{
    if (std::strchr(fileName, '/') != nullptr)
        return fileName;
    return ProfileDirectory() + "/" + fileName;
}

bool MakeProfileDirectory()
{
    return MakeFolders(ProfileDirectory());
}
