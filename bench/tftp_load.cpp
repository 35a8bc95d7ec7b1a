// A lock-step RFC 1350 load client: many sessions in one process, each on its
// own ephemeral port, multiplexed with epoll. It never sends options, checks
// every byte it reads against the expected file, resends its last packet
// after a second of silence and gives up a session after five resends.
//
//   tftp_load --port P --file NAME --expect PATH [--host 127.0.0.1 | ::1]
//             [--transfers N] [--concurrency C] [--mode octet|netascii]
//             [--write]
// prints one line: ok= failed= bytes= seconds= mb_per_s= transfers_per_s= resends=

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options
{
    std::string host = "127.0.0.1";
    int port = 69;
    std::string file;
    std::string expectPath;
    long transfers = 1;
    int concurrency = 1;
    std::string mode = "octet";
    bool write = false;
    int timeoutMs = 1000;
    int maxResends = 5;
};

// An IPv4 or IPv6 socket address; the port sits at the same place in both.
union Address {
    sockaddr_in6 v6;
    sockaddr_in v4;
    sockaddr any;
};

socklen_t LengthOf(const Address& a)
{
    return a.any.sa_family == AF_INET6 ? sizeof a.v6 : sizeof a.v4;
}

in_port_t& PortOf(Address& a)
{
    return a.any.sa_family == AF_INET6 ? a.v6.sin6_port : a.v4.sin_port;
}

struct Session
{
    int fd = -1;
    Address peer{}; // the server's address; its port changes to the TID it answers from
    bool tidKnown = false;
    std::uint16_t block = 0; // read: next DATA expected; write: DATA last sent
    std::size_t offset = 0;
    unsigned char last[520];
    std::size_t lastLength = 0;
    Clock::time_point deadline;
    int resends = 0;
    bool lastBlockSent = false;
};

Options options;
Address server{};
std::string expected;
long started = 0, ok = 0, failed = 0, totalResends = 0;
long long bytesMoved = 0;
int epollFd = -1;

std::string NetasciiOf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else if (c == '\r')
            out += std::string("\r\0", 2);
        else
            out += c;
    }
    return out;
}

void Put16(unsigned char* p, std::uint16_t v)
{
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

std::uint16_t Get16(const unsigned char* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void Transmit(Session& s)
{
    ::sendto(s.fd, s.last, s.lastLength, 0, &s.peer.any, LengthOf(s.peer));
    s.deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
}

void Finish(Session& s, bool success)
{
    ::epoll_ctl(epollFd, EPOLL_CTL_DEL, s.fd, nullptr);
    ::close(s.fd);
    s.fd = -1;
    success ? ++ok : ++failed;
}

void SendData(Session& s)
{
    std::size_t n = std::min<std::size_t>(512, expected.size() - s.offset);
    Put16(s.last, 3);
    Put16(s.last + 2, s.block);
    std::memcpy(s.last + 4, expected.data() + s.offset, n);
    s.lastLength = 4 + n;
    s.lastBlockSent = n < 512;
    Transmit(s);
}

void Start(Session& s)
{
    s = Session{};
    s.fd = ::socket(server.any.sa_family, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    Address local{};
    local.any.sa_family = server.any.sa_family;
    ::bind(s.fd, &local.any, LengthOf(local));
    s.peer = server;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = &s;
    ::epoll_ctl(epollFd, EPOLL_CTL_ADD, s.fd, &event);

    // "%d" in the name stands for the transfer's number, so that concurrent
    // writes each have a file of their own.
    std::string name = options.file;
    if (auto at = name.find("%d"); at != std::string::npos)
        name.replace(at, 2, std::to_string(started));
    std::size_t n = 0;
    Put16(s.last, options.write ? 2 : 1);
    n = 2;
    std::memcpy(s.last + n, name.c_str(), name.size() + 1);
    n += name.size() + 1;
    std::memcpy(s.last + n, options.mode.c_str(), options.mode.size() + 1);
    n += options.mode.size() + 1;
    s.lastLength = n;
    s.block = options.write ? 0 : 1;
    ++started;
    Transmit(s);
}

void OnDatagram(Session& s)
{
    unsigned char buffer[1024];
    Address from{};
    socklen_t fromLength = sizeof from;
    ssize_t n;
    while ((n = ::recvfrom(s.fd, buffer, sizeof buffer, 0, &from.any, &fromLength)) >= 0) {
        fromLength = sizeof from;
        if (n < 4 || s.fd < 0 || from.any.sa_family != s.peer.any.sa_family)
            continue;
        if (!s.tidKnown) {
            PortOf(s.peer) = PortOf(from);
            s.tidKnown = true;
        } else if (PortOf(from) != PortOf(s.peer)) {
            continue;
        }
        std::uint16_t opcode = Get16(buffer), number = Get16(buffer + 2);
        if (opcode == 5) {
            std::fprintf(stderr, "error from server: %d %.*s\n", number, static_cast<int>(n - 4),
                         buffer + 4);
            Finish(s, false);
            return;
        }
        if (!options.write && opcode == 3 && number == s.block) {
            std::size_t length = static_cast<std::size_t>(n - 4);
            if (s.offset + length > expected.size() ||
                std::memcmp(buffer + 4, expected.data() + s.offset, length) != 0) {
                std::fprintf(stderr, "data mismatch in block %u\n", number);
                Finish(s, false);
                return;
            }
            s.offset += length;
            bytesMoved += static_cast<long long>(length);
            Put16(s.last, 4);
            Put16(s.last + 2, number);
            s.lastLength = 4;
            s.resends = 0;
            Transmit(s);
            ++s.block;
            if (length < 512) {
                Finish(s, s.offset == expected.size());
                return;
            }
        } else if (!options.write && opcode == 3 &&
                   static_cast<std::uint16_t>(number + 1) == s.block) {
            Transmit(s); // our ACK was lost: the server sent its block again
        } else if (options.write && opcode == 4 && number == s.block) {
            if (s.block != 0) {
                std::size_t sentNow = s.lastLength - 4;
                s.offset += sentNow;
                bytesMoved += static_cast<long long>(sentNow);
                if (s.lastBlockSent) {
                    Finish(s, true);
                    return;
                }
            }
            ++s.block;
            s.resends = 0;
            SendData(s);
        }
    }
}

void CheckDeadlines(std::vector<Session>& sessions)
{
    auto now = Clock::now();
    for (Session& s : sessions) {
        if (s.fd < 0 || now < s.deadline)
            continue;
        if (++s.resends > options.maxResends) {
            std::fprintf(stderr, "gave up after %d resends\n", options.maxResends);
            Finish(s, false);
            continue;
        }
        ++totalResends;
        Transmit(s);
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
        if (a == "--host")
            options.host = next();
        else if (a == "--port")
            options.port = std::stoi(next());
        else if (a == "--file")
            options.file = next();
        else if (a == "--expect")
            options.expectPath = next();
        else if (a == "--transfers")
            options.transfers = std::stol(next());
        else if (a == "--concurrency")
            options.concurrency = std::stoi(next());
        else if (a == "--mode")
            options.mode = next();
        else if (a == "--write")
            options.write = true;
        else {
            std::fprintf(stderr, "unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    std::ifstream in(options.expectPath, std::ios::binary);
    if (options.file.empty() || !in) {
        std::fprintf(stderr, "usage: tftp_load --port P --file NAME --expect PATH ...\n");
        return 2;
    }
    const auto port = htons(static_cast<std::uint16_t>(options.port));
    if (inet_pton(AF_INET6, options.host.c_str(), &server.v6.sin6_addr) == 1) {
        server.v6.sin6_family = AF_INET6;
        server.v6.sin6_port = port;
    } else if (inet_pton(AF_INET, options.host.c_str(), &server.v4.sin_addr) == 1) {
        server.v4.sin_family = AF_INET;
        server.v4.sin_port = port;
    } else {
        std::fprintf(stderr, "--host takes an IPv4 or IPv6 address, not %s\n",
                     options.host.c_str());
        return 2;
    }
    expected.assign(std::istreambuf_iterator<char>(in), {});
    if (options.mode == "netascii")
        expected = NetasciiOf(expected);

    epollFd = ::epoll_create1(0);
    std::vector<Session> sessions(static_cast<std::size_t>(options.concurrency));
    auto begin = Clock::now();
    for (Session& s : sessions)
        if (started < options.transfers)
            Start(s);

    epoll_event events[256];
    auto lastScan = Clock::now();
    while (ok + failed < options.transfers) {
        int n = ::epoll_wait(epollFd, events, 256, 50);
        for (int i = 0; i < n; ++i) {
            Session& s = *static_cast<Session*>(events[i].data.ptr);
            if (s.fd >= 0)
                OnDatagram(s);
        }
        if (Clock::now() - lastScan > std::chrono::milliseconds(50)) {
            CheckDeadlines(sessions);
            lastScan = Clock::now();
        }
        for (Session& s : sessions)
            if (s.fd < 0 && started < options.transfers)
                Start(s);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    std::printf("ok=%ld failed=%ld bytes=%lld seconds=%.3f mb_per_s=%.2f transfers_per_s=%.1f "
                "resends=%ld\n",
                ok, failed, bytesMoved, seconds, static_cast<double>(bytesMoved) / seconds / 1e6,
                static_cast<double>(ok) / seconds, totalResends);
    return failed == 0 ? 0 : 1;
}
