// A lossy UDP link between TFTP clients and the server, for kernels without
// the netem queueing discipline. Clients send to the relay's port; for each
// client address the relay opens one socket of its own towards the server,
// so the server sees one peer per client, and it relays the server's replies
// back from its listening port. Each datagram, in either direction, may be
// lost, duplicated, delayed with jitter, or held back so that later ones
// overtake it. All chances come from one seeded generator.
//
//   lossy_relay --listen PORT --server PORT [--loss P] [--duplicate P]
//               [--delay-ms D] [--jitter-ms J] [--reorder P] [--seed S]
//               [--max-seconds T]
//
// It stops on SIGTERM or SIGINT, or after T seconds, and then prints one
// line of counts per direction. A "repeat" is a datagram whose opcode and
// block number equal those of the sender's previous datagram on the same
// flow: a retransmission by the client or the server, not by the relay.

#include "udp_peer.h"

#include <queue>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <poll.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings
{
    std::uint16_t listenPort = 0;
    std::uint16_t serverPort = 69;
    double loss = 0.0;
    double duplicate = 0.0;
    double reorder = 0.0;
    double delayMs = 0.0;
    double jitterMs = 0.0;
    std::uint64_t seed = 1;
    int maxSeconds = 600;
};

struct Counts
{
    long in = 0;
    long dropped = 0;
    long duplicated = 0;
    long held = 0;
    long delivered = 0;
    long repeats = 0;
};

struct Pending
{
    Clock::time_point due;
    long order;
    int fd;
    sockaddr_in to;
    std::string bytes;

    bool operator>(const Pending& other) const
    {
        return due != other.due ? due > other.due : order > other.order;
    }
};

struct Flow
{
    sockaddr_in client{};
    int upstream = -1;
    std::uint32_t lastFromClient = 0xFFFFFFFF;
    std::uint32_t lastFromServer = 0xFFFFFFFF;
};

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int)
{
    stopRequested = 1;
}

class Relay
{
public:
    explicit Relay(const Settings& s)
        : settings(s)
        , random(s.seed)
    {
    }

    bool Open();
    void Run();
    void Report() const;

private:
    void FromClient();
    void FromServer(Flow& flow);
    void Pass(int fd, const sockaddr_in& to, const std::string& bytes, Counts& counts);
    void Flush();
    int NextTimeoutMs() const;

    bool Chance(double p) { return p > 0.0 && uniform(random) < p; }

    Settings settings;
    std::mt19937_64 random;
    std::uniform_real_distribution<double> uniform{0.0, 1.0};
    int listener = -1;
    sockaddr_in server{};
    std::map<std::uint64_t, std::unique_ptr<Flow>> flows;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> queue;
    long order = 0;
    Counts toServer;
    Counts toClient;
};

std::uint64_t FlowKey(const sockaddr_in& address)
{
    return (static_cast<std::uint64_t>(address.sin_addr.s_addr) << 16) | address.sin_port;
}

// Opcode and block number of a datagram, to recognise a sender's repeats.
std::uint32_t Signature(const std::string& bytes)
{
    if (bytes.size() < 4)
        return 0xFFFFFFFE;
    if (rel::Word(bytes, 0) == rel::kRrq || rel::Word(bytes, 0) == rel::kWrq)
        return static_cast<std::uint32_t>(rel::Word(bytes, 0)) << 16;
    return (static_cast<std::uint32_t>(rel::Word(bytes, 0)) << 16) | rel::Word(bytes, 2);
}

bool Relay::Open()
{
    listener = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local = rel::Loopback(settings.listenPort);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::perror("lossy_relay: bind");
        return false;
    }
    server = rel::Loopback(settings.serverPort);
    return true;
}

void Relay::Pass(int fd, const sockaddr_in& to, const std::string& bytes, Counts& counts)
{
    ++counts.in;
    if (Chance(settings.loss)) {
        ++counts.dropped;
        return;
    }
    int copies = 1;
    if (Chance(settings.duplicate)) {
        ++counts.duplicated;
        copies = 2;
    }
    for (int i = 0; i < copies; ++i) {
        double ms = settings.delayMs + settings.jitterMs * (2.0 * uniform(random) - 1.0);
        if (Chance(settings.reorder)) {
            // Long enough for several lock-step round trips to overtake it.
            ++counts.held;
            ms += 5.0 + 25.0 * uniform(random);
        }
        if (ms < 0.0)
            ms = 0.0;
        auto due = Clock::now() + std::chrono::microseconds(static_cast<long>(ms * 1000.0));
        queue.push(Pending{due, order++, fd, to, bytes});
    }
}

void Relay::FromClient()
{
    char buffer[70000];
    sockaddr_in client{};
    socklen_t length = sizeof client;
    ssize_t n = ::recvfrom(listener, buffer, sizeof buffer, MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&client), &length);
    if (n < 0)
        return;
    std::string bytes(buffer, static_cast<std::size_t>(n));
    auto& slot = flows[FlowKey(client)];
    if (!slot) {
        slot = std::make_unique<Flow>();
        slot->client = client;
        slot->upstream = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local = rel::Loopback(0);
        ::bind(slot->upstream, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    std::uint32_t signature = Signature(bytes);
    if (signature == slot->lastFromClient)
        ++toServer.repeats;
    slot->lastFromClient = signature;
    Pass(slot->upstream, server, bytes, toServer);
}

void Relay::FromServer(Flow& flow)
{
    char buffer[70000];
    ssize_t n = ::recv(flow.upstream, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0)
        return;
    std::string bytes(buffer, static_cast<std::size_t>(n));
    std::uint32_t signature = Signature(bytes);
    if (signature == flow.lastFromServer)
        ++toClient.repeats;
    flow.lastFromServer = signature;
    Pass(listener, flow.client, bytes, toClient);
}

void Relay::Flush()
{
    auto now = Clock::now();
    while (!queue.empty() && queue.top().due <= now) {
        const Pending& p = queue.top();
        ::sendto(p.fd, p.bytes.data(), p.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&p.to),
                 sizeof p.to);
        ++(p.fd == listener ? toClient : toServer).delivered;
        queue.pop();
    }
}

int Relay::NextTimeoutMs() const
{
    if (queue.empty())
        return 200;
    auto wait = queue.top().due - Clock::now();
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(wait).count();
    if (us <= 0)
        return 0;
    return static_cast<int>((us + 999) / 1000);
}

void Relay::Run()
{
    auto end = Clock::now() + std::chrono::seconds(settings.maxSeconds);
    std::vector<pollfd> waits;
    std::vector<Flow*> owners;
    while (stopRequested == 0 && Clock::now() < end) {
        waits.assign(1, pollfd{listener, POLLIN, 0});
        owners.assign(1, nullptr);
        for (auto& [key, flow] : flows) {
            waits.push_back(pollfd{flow->upstream, POLLIN, 0});
            owners.push_back(flow.get());
        }
        int ready = ::poll(waits.data(), waits.size(), NextTimeoutMs());
        if (ready > 0) {
            for (std::size_t i = 0; i < waits.size(); ++i) {
                if ((waits[i].revents & POLLIN) == 0)
                    continue;
                if (owners[i] == nullptr)
                    FromClient();
                else
                    FromServer(*owners[i]);
            }
        }
        Flush();
    }
}

void PrintCounts(const char* direction, const Counts& c)
{
    std::printf("%s in=%ld dropped=%ld duplicated=%ld held=%ld delivered=%ld repeats=%ld\n",
                direction, c.in, c.dropped, c.duplicated, c.held, c.delivered, c.repeats);
}

void Relay::Report() const
{
    std::printf("flows=%zu\n", flows.size());
    PrintCounts("client_to_server", toServer);
    PrintCounts("server_to_client", toClient);
    std::fflush(stdout);
}

bool ParseArguments(int argc, char** argv, Settings& s)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--listen")
            s.listenPort = static_cast<std::uint16_t>(std::atoi(value));
        else if (name == "--server")
            s.serverPort = static_cast<std::uint16_t>(std::atoi(value));
        else if (name == "--loss")
            s.loss = std::atof(value);
        else if (name == "--duplicate")
            s.duplicate = std::atof(value);
        else if (name == "--reorder")
            s.reorder = std::atof(value);
        else if (name == "--delay-ms")
            s.delayMs = std::atof(value);
        else if (name == "--jitter-ms")
            s.jitterMs = std::atof(value);
        else if (name == "--seed")
            s.seed = std::strtoull(value, nullptr, 10);
        else if (name == "--max-seconds")
            s.maxSeconds = std::atoi(value);
        else
            return false;
    }
    return argc % 2 == 1 && s.listenPort != 0;
}

} // namespace

int main(int argc, char** argv)
{
    Settings settings;
    if (!ParseArguments(argc, argv, settings)) {
        std::fprintf(stderr, "usage: lossy_relay --listen PORT [--server PORT] [--loss P] ...\n");
        return 2;
    }
    rel::RaiseDescriptorLimit();
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGINT, OnStopSignal);
    Relay relay(settings);
    if (!relay.Open())
        return 1;
    std::printf("relaying 127.0.0.1:%u -> 127.0.0.1:%u\n", settings.listenPort,
                settings.serverPort);
    std::fflush(stdout);
    relay.Run();
    relay.Report();
    return 0;
}
