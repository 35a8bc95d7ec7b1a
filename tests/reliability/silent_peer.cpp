// Two peers that vanish in the middle of a transfer: a reader that stops
// acknowledging after DATA block 2, and a writer that stops sending after
// DATA block 1 has been acknowledged. Both keep their sockets, so whatever the
// server still sends them is seen. Meanwhile the server's open descriptors
// (/proc/PID/fd) are watched for the two files.
//
//   silent_peer --port P --server-pid PID --read NAME --read-path ABS
//               --write NAME --write-path ABS [--max-seconds S]
//
// Checks, by order of events rather than by the clock: both files are open
// once the peers fall silent; the reader gets DATA 2 again exactly twice and
// its file is still open when the second copy arrives; the writer gets
// nothing (the server never repeats an ACK on its own); both files are then
// closed, and nothing arrives after that. Prints the seconds from each
// peer's last datagram to the closing of its file.

#include "udp_peer.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Options
{
    std::uint16_t port = 69;
    long serverPid = 0;
    std::string readName, readPath, writeName, writePath;
    int maxSeconds = 60;
};

Options options;
int failures = 0;

void Fail(const std::string& what)
{
    std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    ++failures;
}

// Whether the server holds a descriptor on the file at path.
bool HoldsOpen(const std::string& path)
{
    std::string folder = "/proc/" + std::to_string(options.serverPid) + "/fd";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    bool found = false;
    while (dirent* entry = ::readdir(dir)) {
        char target[PATH_MAX];
        std::string link = folder + "/" + entry->d_name;
        ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == path) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

double SecondsSince(Clock::time_point then)
{
    return std::chrono::duration<double>(Clock::now() - then).count();
}

bool ParseArguments(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--port")
            options.port = static_cast<std::uint16_t>(std::atoi(value));
        else if (name == "--server-pid")
            options.serverPid = std::atol(value);
        else if (name == "--read")
            options.readName = value;
        else if (name == "--read-path")
            options.readPath = value;
        else if (name == "--write")
            options.writeName = value;
        else if (name == "--write-path")
            options.writePath = value;
        else if (name == "--max-seconds")
            options.maxSeconds = std::atoi(value);
        else
            return false;
    }
    return argc % 2 == 1 && options.serverPid > 0 && !options.readPath.empty() &&
           !options.writePath.empty();
}

} // namespace

int main(int argc, char** argv)
{
    if (!ParseArguments(argc, argv)) {
        std::fprintf(stderr, "usage: silent_peer --port P --server-pid PID --read NAME "
                             "--read-path ABS --write NAME --write-path ABS\n");
        return 2;
    }
    sockaddr_in server = rel::Loopback(options.port);
    rel::Peer reader, writer;

    // The reader takes block 1, acknowledges it, takes block 2 and goes quiet.
    reader.SendTo(server, rel::Request(rel::kRrq, options.readName, "octet"));
    auto data1 = reader.Receive(5000);
    if (!data1 || rel::Word(*data1, 0) != rel::kData || rel::Word(*data1, 2) != 1 ||
        data1->size() != 516) {
        Fail("no full DATA 1 for the reader");
        return 1;
    }
    reader.SendTo(server, rel::Ack(1));
    auto data2 = reader.Receive(5000);
    if (!data2 || rel::Word(*data2, 0) != rel::kData || rel::Word(*data2, 2) != 2) {
        Fail("no DATA 2 for the reader");
        return 1;
    }
    auto readerQuiet = Clock::now();

    // The writer's one block is acknowledged; then it sends nothing more.
    writer.SendTo(server, rel::Request(rel::kWrq, options.writeName, "octet"));
    auto ack0 = writer.Receive(5000);
    if (!ack0 || *ack0 != rel::Ack(0)) {
        Fail("no ACK 0 for the writer");
        return 1;
    }
    writer.SendTo(server, rel::Data(1, rel::SeededBytes(512, 7)));
    auto ack1 = writer.Receive(5000);
    if (!ack1 || *ack1 != rel::Ack(1)) {
        Fail("no ACK 1 for the writer");
        return 1;
    }
    auto writerQuiet = Clock::now();

    if (!HoldsOpen(options.readPath))
        Fail("the file being read is not open in the server");
    if (!HoldsOpen(options.writePath))
        Fail("the file being written is not open in the server");

    int readerResends = 0, writerDatagrams = 0;
    double readClosedAfter = -1, writeClosedAfter = -1;
    auto end = Clock::now() + std::chrono::seconds(options.maxSeconds);
    while (Clock::now() < end && (readClosedAfter < 0 || writeClosedAfter < 0)) {
        if (auto again = reader.Receive(100)) {
            ++readerResends;
            bool stillOpen = HoldsOpen(options.readPath);
            if (*again != *data2)
                Fail("the reader got something other than DATA 2 again: " + rel::Printable(*again));
            if (readerResends == 2 && !stillOpen)
                Fail("the file was closed before the second resend arrived");
            if (readClosedAfter >= 0)
                Fail("a resend arrived after the file was closed");
        }
        if (auto stray = writer.Receive(0)) {
            ++writerDatagrams;
            Fail("the silent writer was sent " + rel::Printable(*stray));
        }
        if (readClosedAfter < 0 && !HoldsOpen(options.readPath))
            readClosedAfter = SecondsSince(readerQuiet);
        if (writeClosedAfter < 0 && !HoldsOpen(options.writePath))
            writeClosedAfter = SecondsSince(writerQuiet);
    }
    // Anything still in flight would arrive well within this.
    if (auto late = reader.Receive(1000)) {
        ++readerResends;
        Fail("the reader got a datagram after its file was closed: " + rel::Printable(*late));
    }
    if (writer.Receive(0))
        Fail("the writer got a datagram after its file was closed");

    if (readerResends != 2)
        Fail("the reader got DATA 2 again " + std::to_string(readerResends) +
             " times; two resends were expected");
    if (readClosedAfter < 0)
        Fail("the file being read is still open after " + std::to_string(options.maxSeconds) +
             " s");
    if (writeClosedAfter < 0)
        Fail("the file being written is still open after " + std::to_string(options.maxSeconds) +
             " s");
    std::printf("reader_resends=%d writer_datagrams=%d read_closed_after_s=%.1f "
                "write_closed_after_s=%.1f\n",
                readerResends, writerDatagrams, readClosedAfter, writeClosedAfter);
    return failures == 0 ? 0 : 1;
}
