#include "platform/full_path.h"

#include <cstring>
#include <unistd.h>

namespace {

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

} // namespace

bool GetWorkingDirectory(char (&out)[kMaxPath])
{
    if (::getcwd(out, kMaxPath) == nullptr) {
        out[0] = '\0';
        return false;
    }
    return true;
}

std::size_t GetFullPathName(const char* path, char (&out)[kMaxPath])
{
    // Built in a buffer twice the limit so that a long input whose ".." steps
    // fold it back under 255 characters still resolves.
    char work[2 * kMaxPath];
    std::size_t length = 0;
    out[0] = '\0';

    if (path == nullptr)
        return 0;
    if (!IsSeparator(path[0])) {
        char cwd[kMaxPath];
        if (!GetWorkingDirectory(cwd))
            return 0;
        length = std::strlen(cwd);
        std::memcpy(work, cwd, length);
        while (length > 0 && work[length - 1] == '/')
            --length;
    }

    // Walk the steps of `path`, appending each to `work` and folding "." and
    // ".." as they come; the root is the floor.
    const char* p = path;
    while (*p != '\0') {
        while (IsSeparator(*p))
            ++p;
        const char* start = p;
        while (*p != '\0' && !IsSeparator(*p))
            ++p;
        std::size_t step = static_cast<std::size_t>(p - start);
        if (step == 0 || (step == 1 && start[0] == '.'))
            continue;
        if (step == 2 && start[0] == '.' && start[1] == '.') {
            while (length > 0 && work[length - 1] != '/')
                --length;
            if (length > 0)
                --length;
            continue;
        }
        if (length + 1 + step >= sizeof work)
            return 0;
        work[length++] = '/';
        std::memcpy(work + length, start, step);
        length += step;
    }
    if (length == 0)
        work[length++] = '/';
    if (length >= kMaxPath)
        return 0;
    std::memcpy(out, work, length);
    out[length] = '\0';
    return length;
}
