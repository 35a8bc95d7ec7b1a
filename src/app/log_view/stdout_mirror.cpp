#include "app/log_view/stdout_mirror.h"

#include <cstdio>

void StdoutMirror::Add(const char* text)
{
    for (const char* p = text; *p != '\0'; ++p) {
        if (carriageReturnPending && *p != '\n')
            pending += '\r';
        carriageReturnPending = *p == '\r';
        if (!carriageReturnPending)
            pending += *p;
    }
}

void StdoutMirror::Flush()
{
    if (pending.empty())
        return;
    std::fwrite(pending.data(), 1, pending.size(), stdout);
    std::fflush(stdout);
    pending.clear();
}
