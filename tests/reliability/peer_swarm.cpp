// Many concurrent lock-step read sessions against one server, each from its
// own socket. All of them first get as far as DATA block 1 and hold there,
// unacknowledged, so that every session is open in the server at the same
// moment; the server's resident memory is read then. After that each session
// is driven to its end and its bytes compared with the expected file.
//
//   peer_swarm --port P --file NAME --expect PATH --sessions N
//              [--server-pid PID] [--resend-ms MS] [--max-seconds S]
//
// Prints one line of counts: sessions, accepted (DATA 1 came), refused
// (an ERROR came instead; its texts are listed), silent (neither), completed
// byte-exact, mismatched, resends, and the server's memory. Exit 0 when every
// session got an answer and every accepted one completed byte-exact.

#include "udp_peer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <poll.h>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

enum class State
{
    Requesting, // RRQ sent, waiting for DATA 1 or an ERROR
    Holding,    // DATA 1 came; not acknowledged until every session is here
    Moving,     // acknowledging blocks
    Completed,
    Refused,
    Failed
};

struct Session
{
    std::unique_ptr<rel::Peer> peer;
    sockaddr_in server{};
    State state = State::Requesting;
    std::uint16_t block = 1; // the DATA block expected next
    std::size_t offset = 0;
    std::string last; // last datagram sent, for resends
    Clock::time_point deadline;
    int resends = 0;
};

struct Options
{
    std::uint16_t port = 69;
    std::string file;
    std::string expectPath;
    int sessions = 10;
    long serverPid = 0;
    int resendMs = 1000;
    int maxSeconds = 120;
    int maxResends = 10;
};

Options options;
std::string expected;
long totalResends = 0;
std::map<std::string, int> refusals;

long ResidentKb(long pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

void Send(Session& s, const std::string& datagram)
{
    s.last = datagram;
    s.peer->SendTo(s.server, datagram);
    s.deadline = Clock::now() + std::chrono::milliseconds(options.resendMs);
}

// Takes one datagram for a session; the server answers from its own port.
void OnDatagram(Session& s, const std::string& datagram)
{
    if (datagram.size() < 4)
        return;
    std::uint16_t opcode = rel::Word(datagram, 0);
    std::uint16_t number = rel::Word(datagram, 2);
    if (opcode == rel::kError) {
        std::string text = datagram.substr(4);
        if (!text.empty() && text.back() == '\0')
            text.pop_back();
        ++refusals[std::to_string(number) + " " + rel::Printable(text)];
        s.state = s.state == State::Requesting ? State::Refused : State::Failed;
        return;
    }
    // A resend of a block already taken, or DATA 1 again while holding.
    if (opcode != rel::kData || number != s.block || s.state == State::Holding)
        return;
    std::string bytes = datagram.substr(4);
    if (bytes.size() > rel::kBlock || s.offset + bytes.size() > expected.size() ||
        expected.compare(s.offset, bytes.size(), bytes) != 0) {
        s.state = State::Failed;
        std::fprintf(stderr, "session on port %u: block %u differs\n", s.peer->Port(), number);
        return;
    }
    if (s.state == State::Requesting) {
        s.state = State::Holding;
        return; // acknowledged when the hold ends
    }
    s.offset += bytes.size();
    ++s.block;
    s.resends = 0;
    Send(s, rel::Ack(number));
    if (bytes.size() < rel::kBlock)
        s.state = s.offset == expected.size() ? State::Completed : State::Failed;
}

// Sessions not yet started have no socket and are not active.
bool Active(const Session& s)
{
    return s.peer && (s.state == State::Requesting || s.state == State::Moving);
}

// One round of waiting: datagrams in, resends out. Returns false when no
// session is active any more.
bool Step(std::vector<Session>& sessions)
{
    std::vector<pollfd> waits;
    std::vector<Session*> owners;
    for (Session& s : sessions) {
        if (!s.peer || s.state == State::Completed || s.state == State::Refused ||
            s.state == State::Failed)
            continue;
        waits.push_back(pollfd{s.peer->Descriptor(), POLLIN, 0});
        owners.push_back(&s);
    }
    if (waits.empty())
        return false;
    if (::poll(waits.data(), waits.size(), 20) > 0) {
        for (std::size_t i = 0; i < waits.size(); ++i) {
            if ((waits[i].revents & POLLIN) == 0)
                continue;
            while (auto datagram = owners[i]->peer->Receive(0))
                OnDatagram(*owners[i], *datagram);
        }
    }
    auto now = Clock::now();
    bool anyActive = false;
    for (Session& s : sessions) {
        if (!Active(s))
            continue;
        anyActive = true;
        if (now < s.deadline)
            continue;
        if (++s.resends > options.maxResends) {
            s.state = State::Failed;
            continue;
        }
        ++totalResends;
        Send(s, s.last);
    }
    return anyActive;
}

bool ParseArguments(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--port")
            options.port = static_cast<std::uint16_t>(std::atoi(value));
        else if (name == "--file")
            options.file = value;
        else if (name == "--expect")
            options.expectPath = value;
        else if (name == "--sessions")
            options.sessions = std::atoi(value);
        else if (name == "--server-pid")
            options.serverPid = std::atol(value);
        else if (name == "--resend-ms")
            options.resendMs = std::atoi(value);
        else if (name == "--max-seconds")
            options.maxSeconds = std::atoi(value);
        else
            return false;
    }
    return argc % 2 == 1 && !options.file.empty() && options.sessions > 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (!ParseArguments(argc, argv)) {
        std::fprintf(stderr, "usage: peer_swarm --port P --file NAME --expect PATH --sessions N\n");
        return 2;
    }
    std::ifstream in(options.expectPath, std::ios::binary);
    if (!in) {
        std::perror(options.expectPath.c_str());
        return 2;
    }
    expected.assign(std::istreambuf_iterator<char>(in), {});
    long limit = rel::RaiseDescriptorLimit();
    if (limit < options.sessions + 16) {
        std::fprintf(stderr, "descriptor limit %ld is too low for %d sessions\n", limit,
                     options.sessions);
        return 2;
    }

    long rssBefore = options.serverPid > 0 ? ResidentKb(options.serverPid) : -1;
    auto end = Clock::now() + std::chrono::seconds(options.maxSeconds);
    std::vector<Session> sessions(static_cast<std::size_t>(options.sessions));
    // Requests go out in small waves: a burst of a thousand would overflow
    // the server's socket buffer and only measure the kernel's drops.
    constexpr std::size_t kWave = 50;
    for (std::size_t started = 0; started < sessions.size();) {
        for (std::size_t k = 0; k < kWave && started < sessions.size(); ++k, ++started) {
            Session& s = sessions[started];
            s.peer = std::make_unique<rel::Peer>();
            if (!s.peer->Valid()) {
                std::fprintf(stderr, "no socket for session %zu\n", started);
                return 2;
            }
            s.server = rel::Loopback(options.port);
            Send(s, rel::Request(rel::kRrq, options.file, "octet"));
        }
        Step(sessions);
    }
    while (Clock::now() < end && Step(sessions)) {
    }

    long rssHolding = options.serverPid > 0 ? ResidentKb(options.serverPid) : -1;
    int accepted = 0;
    for (Session& s : sessions) {
        if (s.state != State::Holding)
            continue;
        ++accepted;
        // DATA 1 was checked when it came; acknowledge it now.
        s.state = State::Moving;
        s.offset = std::min(expected.size(), rel::kBlock);
        s.block = 2;
        Send(s, rel::Ack(1));
        if (s.offset < rel::kBlock)
            s.state = s.offset == expected.size() ? State::Completed : State::Failed;
    }
    while (Clock::now() < end && Step(sessions)) {
    }

    int completed = 0, refused = 0, failed = 0, silent = 0;
    for (const Session& s : sessions) {
        completed += s.state == State::Completed ? 1 : 0;
        refused += s.state == State::Refused ? 1 : 0;
        failed += s.state == State::Failed ? 1 : 0;
        silent += Active(s) ? 1 : 0;
    }
    long perSession = accepted > 0 && rssBefore > 0 && rssHolding > 0
                          ? (rssHolding - rssBefore) * 1024 / accepted
                          : -1;
    std::printf("sessions=%d accepted=%d refused=%d completed=%d failed=%d silent=%d resends=%ld "
                "rss_before_kb=%ld rss_holding_kb=%ld bytes_per_session=%ld\n",
                options.sessions, accepted, refused, completed, failed, silent, totalResends,
                rssBefore, rssHolding, perSession);
    for (const auto& [text, count] : refusals)
        std::printf("refusal %d x error %s\n", count, text.c_str());
    bool ok = completed == accepted && failed == 0 && silent == 0 &&
              accepted + refused == options.sessions;
    return ok ? 0 : 1;
}
