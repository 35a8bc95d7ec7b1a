#include "platform/file_replace.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

std::string FollowLink(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* target = ::realpath(path.c_str(), nullptr);
    if (target == nullptr)
        return path; // a dangling link is replaced by the new file
    std::string resolved = target;
    std::free(target);
    return resolved;
}

int CreateSiblingFile(const std::string& path, std::string* name)
{
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        *name = path + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return -1;
    }
    if (fd < 0)
        return -1;

    struct stat old;
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            ::close(fd);
            ::unlink(name->c_str());
            return -1;
        }
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)::fchown(fd, old.st_uid, old.st_gid);
    }
    return fd;
}

bool CommitSiblingFile(const std::string& sibling, const std::string& path)
{
    if (::rename(sibling.c_str(), path.c_str()) != 0) {
        ::unlink(sibling.c_str());
        return false;
    }
    int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool ReplaceFileContent(const std::string& linkOrPath, const std::string& content)
{
    std::string path = FollowLink(linkOrPath);
    struct stat old;
    if (::stat(path.c_str(), &old) == 0 && !S_ISREG(old.st_mode))
        return false;

    std::string sibling;
    int fd = CreateSiblingFile(path, &sibling);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        ::unlink(sibling.c_str());
        return false;
    }
    return CommitSiblingFile(sibling, path);
}
