#include "platform/open_file_limit.h"

#include <climits>
#include <sys/resource.h>

long RaiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        // Some systems refuse an unlimited soft value for descriptors; the
        // old limit then stays, which is still a working server.
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > static_cast<rlim_t>(LONG_MAX))
        return LONG_MAX;
    return static_cast<long>(limit.rlim_cur);
}
