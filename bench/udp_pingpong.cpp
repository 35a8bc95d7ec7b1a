// The limit of this machine for the protocol's shape: a 516-byte datagram
// answered by a 4-byte one, lock step over loopback, between two processes.
// With --pairs P, P such pairs run at once and the total is reported.
//
//   udp_pingpong [--pairs P] [--round-trips N]
// prints: pairs=P round_trips=N seconds=S rtt_per_s=R mb_per_s=M

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

int BoundSocket()
{
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::perror("socket");
        std::exit(1);
    }
    return fd;
}

sockaddr_in AddressOf(int fd)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return a;
}

// One pair: the child answers every 516-byte datagram with 4 bytes.
void RunPair(long roundTrips)
{
    int server = BoundSocket();
    int client = BoundSocket();
    sockaddr_in serverAddress = AddressOf(server);
    sockaddr_in clientAddress = AddressOf(client);
    pid_t child = ::fork();
    if (child == 0) {
        unsigned char buffer[600];
        for (long i = 0; i < roundTrips; ++i) {
            if (::recv(server, buffer, sizeof buffer, 0) < 0)
                std::_Exit(1);
            ::sendto(server, buffer, 4, 0, reinterpret_cast<sockaddr*>(&clientAddress),
                     sizeof clientAddress);
        }
        std::_Exit(0);
    }
    unsigned char packet[516] = {0, 3};
    unsigned char reply[16];
    for (long i = 0; i < roundTrips; ++i) {
        ::sendto(client, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&serverAddress),
                 sizeof serverAddress);
        if (::recv(client, reply, sizeof reply, 0) < 0)
            std::_Exit(1);
    }
    ::waitpid(child, nullptr, 0);
}

} // namespace

int main(int argc, char** argv)
{
    int pairs = 1;
    long roundTrips = 200000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--pairs") == 0)
            pairs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--round-trips") == 0)
            roundTrips = std::atol(argv[i + 1]);
    }
    long perPair = roundTrips / pairs;
    auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> children;
    for (int p = 0; p < pairs; ++p) {
        pid_t pid = ::fork();
        if (pid == 0) {
            RunPair(perPair);
            std::_Exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children)
        ::waitpid(pid, nullptr, 0);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double total = static_cast<double>(perPair) * pairs;
    std::printf("pairs=%d round_trips=%.0f seconds=%.3f rtt_per_s=%.0f mb_per_s=%.2f\n", pairs,
                total, seconds, total / seconds, total * 512 / seconds / 1e6);
    return 0;
}
