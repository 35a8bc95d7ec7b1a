#pragma once

// Giving memory that a long run frees back to the system. The log view drops
// its oldest lines by the ten thousand; without these, the C library keeps
// what they held, and a server that runs for months looks as large as it
// ever was. Where the C library offers no such control, both do nothing.

// Once at start-up: every large block (the log's text is one) gets a
// mapping of its own, unmapped when it is freed. By default, once the first
// such block is freed, later ones up to its size come from the heap, where
// they stay with the process after they are freed and leave it larger by
// turns as the log grows and is cut.
void KeepLargeBlocksOutOfTheHeap();

// After many small blocks were freed at once: hands the heap's free pages
// back to the system. It costs a walk over the heap's free blocks, a few
// milliseconds, so call it after a large release, not after each one.
void ReturnFreeHeapToSystem();
