#include "platform/heap_release.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>

namespace {

// The C library's own starting threshold; setting it stops its growth.
constexpr int kLargeBlockBytes = 128 * 1024;

} // namespace
#endif

void KeepLargeBlocksOutOfTheHeap()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
#endif
}

void ReturnFreeHeapToSystem()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
