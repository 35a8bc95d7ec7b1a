#include "service/netascii.h"

#include <algorithm>
#include <cerrno>

namespace {

// The file is read in pieces of half the room left, which always fit however
// many line ends they hold; a byte at a time through getc() had cost a
// quarter of the server's time per block.
constexpr std::size_t kPieceSize = 256;

} // namespace

long ReadNetascii(std::FILE* file, NetasciiState& state, unsigned char* data, std::size_t room)
{
    std::size_t placed = 0;
    if (state.secondByteDue && room > 0) {
        data[placed++] = state.secondByte;
        state.secondByteDue = false;
    }
    unsigned char raw[kPieceSize];
    while (placed < room) {
        const std::size_t left = room - placed;
        const std::size_t want = std::min(left >= 2 ? left / 2 : 1, sizeof raw);
        const std::size_t got = fread_unlocked(raw, 1, want, file);
        for (std::size_t i = 0; i < got; ++i) {
            const unsigned char c = raw[i];
            if (c != '\n' && c != '\r') {
                data[placed++] = c;
                continue;
            }
            data[placed++] = '\r';
            const unsigned char second = c == '\n' ? '\n' : '\0';
            if (placed == room) { // only when one byte was read
                state.secondByte = second;
                state.secondByteDue = true;
                break;
            }
            data[placed++] = second;
        }
        if (got == want)
            continue;
        if (std::feof(file))
            break;
        // A read error must not pass for the end of the file: the peer would
        // keep a truncated file that the log reports as sent.
        if (errno != EINTR)
            return -1;
        std::clearerr(file); // interrupted by a signal: read on
    }
    return static_cast<long>(placed);
}

// A CR is held back until the next byte, in this block or the next, says
// which it is: writing it and seeking back to overwrite it had flushed the
// file's buffer at every line end.
bool WriteNetascii(std::FILE* file, NetasciiState& state, const unsigned char* data, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = data[i];
        if (state.crHeld) {
            state.crHeld = false;
            if (b == '\n' || b == '\0') {
                if (putc_unlocked(b == '\n' ? '\n' : '\r', file) == EOF)
                    return false;
                continue;
            }
            if (putc_unlocked('\r', file) == EOF)
                return false;
        }
        if (b == '\r')
            state.crHeld = true;
        else if (putc_unlocked(b, file) == EOF)
            return false;
    }
    return true;
}

bool FinishNetascii(std::FILE* file, NetasciiState& state)
{
    if (!state.crHeld)
        return true;
    state.crHeld = false;
    return putc_unlocked('\r', file) != EOF;
}
