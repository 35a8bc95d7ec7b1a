// Writes a file of pseudo-random bytes that the same size and seed always
// reproduce, so a failed comparison can be repeated byte for byte.
//
//   make_file SIZE SEED PATH

#include "udp_peer.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_file SIZE SEED PATH\n");
        return 2;
    }
    std::size_t size = std::strtoull(argv[1], nullptr, 10);
    std::uint64_t seed = std::strtoull(argv[2], nullptr, 10);
    std::string bytes = rel::SeededBytes(size, seed);
    std::FILE* out = std::fopen(argv[3], "wb");
    if (out == nullptr) {
        std::perror(argv[3]);
        return 1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    ok = std::fclose(out) == 0 && ok;
    return ok ? 0 : 1;
}
