// Feeds arbitrary datagram sequences to the dispatcher through real sockets.
//
// An input is a list of records: one control byte, a 16-bit big-endian
// length, then that many datagram bytes. The control byte's low two bits
// pick one of three client ports (3 fires every armed retransmission timer
// instead of sending), bit 2 flips the diagnostics switch, bit 3 sends from
// the IPv6 client of that number instead of the IPv4 one, bit 4 has the
// operator end the oldest transfer under way first. Bit 7 of the first
// control byte has the server listen on one dual-stack socket for the whole
// input, where IPv4 clients arrive as IPv4-mapped addresses; without it the
// server has its plain IPv4 socket, which IPv6 clients cannot reach. Bit 6
// of the first control byte has the server negotiate transfer options. After
// each record the transfers are looked at as the operator's panel looks at
// them.

#include "log/log_view.h"
#include "log/memory_log_view.h"
#include "platform/clock.h"
#include "platform/sockets.h"
#include "platform/timers.h"
#include "service/dispatcher.h"
#include "service/operator_end.h"
#include "service/server_socket.h"
#include "service/service_lifetime.h"
#include "service/session_table.h"
#include "service/transfer_watch.h"
#include "settings/server_settings.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ManualTimers : public TimerHost
{
public:
    void Start(std::uint32_t id, unsigned, TimerCallback callback) override
    {
        armed[id] = callback;
    }

    void Stop(std::uint32_t id) override { armed.erase(id); }

    void FireAll()
    {
        std::map<std::uint32_t, TimerCallback> now = armed;
        for (auto& [id, callback] : now)
            callback(id);
    }

    std::map<std::uint32_t, TimerCallback> armed;
};

MemoryLogView logView;
ManualTimers timers;
// By family (0 IPv4, 1 IPv6), then by number.
int clients[2][3];
SocketAddress serverAddress[2];

void Drain(int fd)
{
    char buffer[2048];
    while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) {
    }
}

// Moves the server socket between the plain IPv4 one and the dual-stack
// one; each move gives it a new ephemeral port.
void Listen(bool dualStack)
{
    const char* wanted = dualStack ? "::" : "";
    if (std::strcmp(serverSettings.listenAddress, wanted) != 0) {
        std::snprintf(serverSettings.listenAddress, sizeof serverSettings.listenAddress, "%s",
                      wanted);
        if (ReopenServerSocket().outcome != Reopen::Done)
            std::abort();
    }
    for (SocketAddress& address : serverAddress)
        SetAddressPort(address, ServerPort());
}

void PumpServer()
{
    pollfd p{ServerSocket, POLLIN, 0};
    while (::poll(&p, 1, 0) == 1)
        OnSocketNotify(static_cast<std::uintptr_t>(ServerSocket), sockets::FD_READ);
}

// Reads every text the panel would show, so a missing terminator or a
// stale record shows up under the sanitizers.
std::uint64_t LookAtTransfers(std::uint64_t after)
{
    std::size_t seen = 0;
    auto look = [&seen](const TransferView& v) {
        seen += std::strlen(v.peerText) + std::strlen(v.progress->fileName) +
                std::strlen(v.progress->modeName) + std::strlen(v.progress->peerMessage);
    };
    ForEachLiveTransfer(look);
    after = ForEachEndedTransfer(after, look);
    if (seen == static_cast<std::size_t>(-1))
        std::abort();
    return after;
}

void EndOldestTransfer()
{
    for (const Session* s = SessionTable; s != nullptr; s = s->next) {
        if (s->file != nullptr) {
            EndTransferByOperator(s->progress.serial);
            return;
        }
    }
}

void SetUp()
{
    // Everything the fuzzer may write stays inside its own folder: the
    // server is restricted to it.
    char folder[] = "/tmp/ferry-fuzz-XXXXXX";
    if (::mkdtemp(folder) == nullptr || ::chdir(folder) != 0)
        std::abort();
    std::FILE* f = std::fopen("a", "wb");
    for (int i = 0; i < 1500; ++i)
        std::fputc(i % 3 == 0 ? '\n' : (i % 7 == 0 ? '\r' : 'x'), f);
    std::fclose(f);
    f = std::fopen("empty", "wb");
    std::fclose(f);
    ::mkdir("sub", 0755);
    ::mkfifo("fifo", 0666);

    std::snprintf(serverSettings.restrictDirectory, sizeof serverSettings.restrictDirectory, "%s",
                  folder);
    std::snprintf(serverSettings.defaultDirectory, sizeof serverSettings.defaultDirectory, "%s",
                  folder);
    serverSettings.readWrite = 1;
    LogViewWindow = &logView;
    SetTimerHost(&timers);
    clock_testing::SetFixedTime(1796521800);
    sockets_testing::SetTftpPortOverride(0);
    if (StartService().failure != StartFailure::None)
        std::abort();
    StartWatchingTransfers();

    const char* hosts[2] = {"127.0.0.1", "::1"};
    for (int family = 0; family < 2; ++family) {
        if (ParseHost(hosts[family], &serverAddress[family]) != HostSyntax::Ok)
            std::abort();
        for (int& c : clients[family]) {
            c = ::socket(serverAddress[family].any.sa_family, SOCK_DGRAM, 0);
            ::bind(c, &serverAddress[family].any, AddressLength(serverAddress[family]));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    static bool ready = (SetUp(), true);
    (void)ready;
    Listen(size > 0 && (data[0] & 0x80) != 0);
    serverSettings.transferOptions = size > 0 && (data[0] & 0x40) != 0 ? 1 : 0;

    static std::uint64_t endsSeen = 0;
    std::size_t at = 0;
    while (at + 3 <= size) {
        unsigned control = data[at];
        std::size_t length = static_cast<std::size_t>((data[at + 1] << 8) | data[at + 2]);
        at += 3;
        length = std::min(length, size - at);
        if ((control & 4) != 0)
            serverSettings.diagnostics ^= 1;
        if ((control & 0x10) != 0)
            EndOldestTransfer();
        if ((control & 3) == 3) {
            timers.FireAll();
        } else {
            const int family = (control & 8) != 0 ? 1 : 0;
            ::sendto(clients[family][control & 3], data + at, length, 0, &serverAddress[family].any,
                     AddressLength(serverAddress[family]));
            PumpServer();
        }
        endsSeen = LookAtTransfers(endsSeen);
        at += length;
    }
    for (auto& family : clients)
        for (int c : family)
            Drain(c);
    DestroyAllSessions();
    serverSettings.diagnostics = 0;
    if (logView.text.size() > (1u << 20))
        logView.text.clear(), logView.SetCaret(0);
    return 0;
}
