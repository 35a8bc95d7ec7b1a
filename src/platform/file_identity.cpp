#include "platform/file_identity.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// As many links as the system itself follows before it gives up.
constexpr int kMaxLinks = 40;

// A file by device and inode when it exists. Otherwise the nearest folder
// above it that exists, by device and inode, and the path below that folder.
struct Identity
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string below;
};

// The folder that `path` names its last step in, and that step.
void SplitLastStep(const std::string& path, std::string* folder, std::string* step)
{
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    std::size_t slash = end > 0 ? path.rfind('/', end - 1) : std::string::npos;
    if (slash == std::string::npos) {
        *folder = std::string(".");
        *step = path.substr(0, end);
    } else {
        *folder = path.substr(0, slash == 0 ? 1 : slash);
        *step = path.substr(slash + 1, end - slash - 1);
    }
}

// The text of the symbolic link at `path`, placed against the folder of the
// link when it is relative.
bool ReadLink(const std::string& path, std::string* target)
{
    std::vector<char> text(4096);
    ssize_t length = ::readlink(path.c_str(), text.data(), text.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= text.size())
        return false;
    std::string link(text.data(), static_cast<std::size_t>(length));
    if (link[0] != '/') {
        std::string folder;
        std::string step;
        SplitLastStep(path, &folder, &step);
        link = folder.append("/").append(link);
    }
    *target = link;
    return true;
}

bool IdentifyMissing(std::string path, Identity* identity)
{
    struct stat status;
    do {
        std::string folder;
        std::string step;
        SplitLastStep(path, &folder, &step);
        path = std::move(folder);
        // Built by appending: GCC 12 at -O3 warns falsely about a + "/" + b.
        if (!identity->below.empty())
            step.append("/").append(identity->below);
        identity->below = std::move(step);
        if (::stat(path.c_str(), &status) == 0) {
            identity->device = status.st_dev;
            identity->inode = status.st_ino;
            return true;
        }
    } while (errno == ENOENT && path != "/" && path != ".");
    return false;
}

bool Identify(std::string path, Identity* identity)
{
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat status;
        if (::stat(path.c_str(), &status) == 0) {
            identity->exists = true;
            identity->device = status.st_dev;
            identity->inode = status.st_ino;
            return true;
        }
        if (errno != ENOENT)
            return false;
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return IdentifyMissing(path, identity);
        if (!ReadLink(path, &path))
            return false;
    }
    return false;
}

} // namespace

bool NamesSameFile(const std::string& a, const std::string& b)
{
    Identity first;
    Identity second;
    if (!Identify(a, &first) || !Identify(b, &second))
        return false;
    return first.exists == second.exists && first.device == second.device &&
           first.inode == second.inode && first.below == second.below;
}
