// A TFTP load client: many sessions in one process, each on its own
// ephemeral port, multiplexed with epoll. It checks every byte it reads
// against the expected file, resends its last packet after a second of
// silence and gives up a session after five resends. Without options it
// speaks plain RFC 1350 in lock step; it can ask for a block size, a window
// (reads) and the transfer size, and it can wait a fixed time before each
// datagram it sends, to stand for a network's round trip: lock step then
// pays the wait once per block, a window once per window. With --stall-ms
// each read stops after its first DATA and holds its session open that long,
// so that the server's memory per live session can be measured.
//
//   tftp_load --port P --file NAME --expect PATH [--host 127.0.0.1 | ::1]
//             [--transfers N] [--concurrency C] [--mode octet|netascii]
//             [--write] [--blksize B] [--windowsize W] [--tsize]
//             [--delay-us D] [--stall-ms M]
// prints one line: ok= failed= bytes= seconds= mb_per_s= transfers_per_s=
// resends= sent= waits= wait_seconds= blksize= windowsize= (the last two as
// the server agreed for the last session)

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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
    int blksize = 0;    // 0: not asked
    int windowsize = 0; // 0: not asked
    bool tsize = false;
    long delayUs = 0;
    long stallMs = 0;
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
    std::vector<unsigned char> last;
    std::size_t lastLength = 0;
    Clock::time_point deadline;
    int resends = 0;
    bool lastBlockSent = false;
    bool answered = false;       // the server's first reply came
    std::size_t blockSize = 512; // as agreed
    int window = 1;              // as agreed; 1: lock step
    int inWindow = 0;            // in-order blocks since our last ACK
    bool gapReported = false;
    // The emulated wait: the datagram in `last` goes out at sendAt.
    bool sendDue = false;
    bool closeAfterSend = false;
    Clock::time_point decidedAt, sendAt;
};

Options options;
Address server{};
std::string expected;
long started = 0, ok = 0, failed = 0, totalResends = 0, sentDatagrams = 0, waits = 0;
long long bytesMoved = 0;
double waitSeconds = 0;
std::size_t agreedBlockSize = 512;
int agreedWindow = 0;
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

void SendNow(Session& s)
{
    auto now = Clock::now();
    if (s.sendDue) {
        waitSeconds += std::chrono::duration<double>(now - s.decidedAt).count();
        ++waits;
        s.sendDue = false;
    }
    ++sentDatagrams;
    ::sendto(s.fd, s.last.data(), s.lastLength, 0, &s.peer.any, LengthOf(s.peer));
    s.deadline = now + std::chrono::milliseconds(options.timeoutMs);
    if (s.closeAfterSend) {
        ::close(s.fd);
        s.fd = -1;
        s.closeAfterSend = false;
    }
}

// The emulated round trip: each session's datagram waits a fixed time
// before it goes out, while the other sessions go on.
void Transmit(Session& s)
{
    if (options.delayUs <= 0) {
        SendNow(s);
        return;
    }
    s.decidedAt = Clock::now();
    s.sendAt = s.decidedAt + std::chrono::microseconds(options.delayUs);
    s.sendDue = true;
    s.deadline = s.sendAt + std::chrono::milliseconds(options.timeoutMs);
}

void Finish(Session& s, bool success)
{
    ::epoll_ctl(epollFd, EPOLL_CTL_DEL, s.fd, nullptr);
    success ? ++ok : ++failed;
    if (s.sendDue && success) {
        s.closeAfterSend = true; // the last ACK still goes out, on time
        return;
    }
    s.sendDue = false;
    ::close(s.fd);
    s.fd = -1;
}

void SendAck(Session& s, std::uint16_t number)
{
    Put16(s.last.data(), 4);
    Put16(s.last.data() + 2, number);
    s.lastLength = 4;
    Transmit(s);
}

std::size_t AppendString(std::vector<unsigned char>& packet, std::size_t at,
                         const std::string& text)
{
    std::memcpy(packet.data() + at, text.c_str(), text.size() + 1);
    return at + text.size() + 1;
}

// The options of an OACK: the block size and window the server agreed to.
void TakeOack(Session& s, const unsigned char* p, std::size_t n)
{
    std::size_t at = 2;
    while (at < n) {
        std::string name(reinterpret_cast<const char*>(p + at),
                         strnlen(reinterpret_cast<const char*>(p + at), n - at));
        at += name.size() + 1;
        if (at >= n)
            break;
        std::string value(reinterpret_cast<const char*>(p + at),
                          strnlen(reinterpret_cast<const char*>(p + at), n - at));
        at += value.size() + 1;
        if (name == "blksize")
            s.blockSize = std::stoul(value);
        else if (name == "windowsize")
            s.window = std::stoi(value);
    }
    agreedBlockSize = s.blockSize;
    agreedWindow = s.window;
}

void SendData(Session& s)
{
    std::size_t n = std::min<std::size_t>(s.blockSize, expected.size() - s.offset);
    Put16(s.last.data(), 3);
    Put16(s.last.data() + 2, s.block);
    std::memcpy(s.last.data() + 4, expected.data() + s.offset, n);
    s.lastLength = 4 + n;
    s.lastBlockSent = n < s.blockSize;
    Transmit(s);
}

void Start(Session& s)
{
    s = Session{};
    s.last.resize(4 + std::max<std::size_t>(static_cast<std::size_t>(options.blksize), 1024));
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
    Put16(s.last.data(), options.write ? 2 : 1);
    std::size_t n = AppendString(s.last, 2, name);
    n = AppendString(s.last, n, options.mode);
    if (options.blksize > 0) {
        n = AppendString(s.last, n, "blksize");
        n = AppendString(s.last, n, std::to_string(options.blksize));
    }
    if (options.tsize) {
        n = AppendString(s.last, n, "tsize");
        n = AppendString(s.last, n, options.write ? std::to_string(expected.size()) : "0");
    }
    if (options.windowsize > 0) {
        n = AppendString(s.last, n, "windowsize");
        n = AppendString(s.last, n, std::to_string(options.windowsize));
    }
    s.lastLength = n;
    s.block = options.write ? 0 : 1;
    ++started;
    Transmit(s);
}

// A DATA of a read: in order it is checked and counted, and acknowledged at
// the end of a window or of the file; a gap is reported once with the ACK
// of the last block in order. False when the session ended.
bool OnReadData(Session& s, std::uint16_t number, const unsigned char* data, std::size_t length)
{
    if (number != s.block) {
        if (s.window == 1 && static_cast<std::uint16_t>(number + 1) == s.block) {
            Transmit(s); // our ACK was lost: the server sent its block again
        } else if (s.window > 1 && !s.gapReported &&
                   static_cast<std::uint16_t>(number - s.block) < s.window) {
            s.gapReported = true;
            s.inWindow = 0;
            SendAck(s, static_cast<std::uint16_t>(s.block - 1));
        }
        return true;
    }
    if (s.offset + length > expected.size() ||
        std::memcmp(data, expected.data() + s.offset, length) != 0) {
        std::fprintf(stderr, "data mismatch in block %u\n", number);
        Finish(s, false);
        return false;
    }
    s.offset += length;
    bytesMoved += static_cast<long long>(length);
    s.resends = 0;
    s.gapReported = false;
    ++s.block;
    s.deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    const bool lastBlock = length < s.blockSize;
    if (options.stallMs > 0) {
        ++ok; // holds the session: nothing more is sent
        ::epoll_ctl(epollFd, EPOLL_CTL_DEL, s.fd, nullptr);
        s.fd = -2 - s.fd; // still open, no longer served
        return false;
    }
    if (lastBlock || ++s.inWindow >= s.window) {
        s.inWindow = 0;
        SendAck(s, number);
    }
    if (lastBlock) {
        Finish(s, s.offset == expected.size());
        return false;
    }
    return true;
}

void OnDatagram(Session& s)
{
    static unsigned char buffer[65536 + 8];
    Address from{};
    socklen_t fromLength = sizeof from;
    ssize_t n;
    while (s.fd >= 0 &&
           (n = ::recvfrom(s.fd, buffer, sizeof buffer, 0, &from.any, &fromLength)) >= 0) {
        fromLength = sizeof from;
        if (n < 2 || from.any.sa_family != s.peer.any.sa_family)
            continue;
        if (!s.tidKnown) {
            PortOf(s.peer) = PortOf(from);
            s.tidKnown = true;
        } else if (PortOf(from) != PortOf(s.peer)) {
            continue;
        }
        std::uint16_t opcode = Get16(buffer);
        if (opcode == 6 && !s.answered) {
            s.answered = true;
            TakeOack(s, buffer, static_cast<std::size_t>(n));
            if (options.write) {
                s.block = 1;
                SendData(s);
            } else {
                SendAck(s, 0);
            }
            continue;
        }
        if (n < 4)
            continue;
        std::uint16_t number = Get16(buffer + 2);
        if (!s.answered) {
            // No OACK: the plain protocol.
            s.answered = true;
            agreedBlockSize = 512;
            agreedWindow = 0;
        }
        if (opcode == 5) {
            std::fprintf(stderr, "error from server: %d %.*s\n", number, static_cast<int>(n - 4),
                         buffer + 4);
            Finish(s, false);
            return;
        }
        if (!options.write && opcode == 3) {
            if (!OnReadData(s, number, buffer + 4, static_cast<std::size_t>(n - 4)))
                return;
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
        if (s.fd < 0 || s.sendDue || s.closeAfterSend || now < s.deadline)
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
        else if (a == "--blksize")
            options.blksize = std::stoi(next());
        else if (a == "--windowsize")
            options.windowsize = std::stoi(next());
        else if (a == "--tsize")
            options.tsize = true;
        else if (a == "--delay-us")
            options.delayUs = std::stol(next());
        else if (a == "--stall-ms")
            options.stallMs = std::stol(next());
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
    bool due = false;
    while (ok + failed < options.transfers || due) {
        // Sleep until the next datagram falls due, or 50 ms, or a datagram
        // arrives.
        auto wake = Clock::now() + std::chrono::milliseconds(50);
        for (const Session& s : sessions)
            if (s.sendDue && s.sendAt < wake)
                wake = s.sendAt;
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(wake - Clock::now());
        timespec timeout{0, 0};
        if (left.count() > 0)
            timeout = {static_cast<time_t>(left.count() / 1000000000),
                       static_cast<long>(left.count() % 1000000000)};
        int n = ::epoll_pwait2(epollFd, events, 256, &timeout, nullptr);
        for (int i = 0; i < n; ++i) {
            Session& s = *static_cast<Session*>(events[i].data.ptr);
            if (s.fd >= 0 && !s.closeAfterSend)
                OnDatagram(s);
        }
        due = false;
        auto now = Clock::now();
        for (Session& s : sessions) {
            if (s.sendDue && s.sendAt <= now)
                SendNow(s);
            due = due || s.sendDue;
        }
        if (Clock::now() - lastScan > std::chrono::milliseconds(50)) {
            CheckDeadlines(sessions);
            lastScan = Clock::now();
        }
        for (Session& s : sessions)
            if (s.fd < 0 && !s.closeAfterSend && started < options.transfers)
                Start(s);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    if (options.stallMs > 0) {
        std::printf("stalled=%ld\n", ok);
        std::fflush(stdout);
        ::usleep(static_cast<useconds_t>(options.stallMs * 1000));
    }
    std::printf("ok=%ld failed=%ld bytes=%lld seconds=%.3f mb_per_s=%.2f transfers_per_s=%.1f "
                "resends=%ld sent=%ld waits=%ld wait_seconds=%.3f blksize=%zu windowsize=%d\n",
                ok, failed, bytesMoved, seconds, static_cast<double>(bytesMoved) / seconds / 1e6,
                static_cast<double>(ok) / seconds, totalResends, sentDatagrams, waits, waitSeconds,
                agreedBlockSize, agreedWindow);
    return failed == 0 ? 0 : 1;
}
