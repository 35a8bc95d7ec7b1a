// Runs the TFTP service on a plain poll loop, without a window, so that the
// service's own cost can be measured apart from the desktop program.
//
//   service_driver PORT DIRECTORY
// serves DIRECTORY (read-write) on PORT (0: any free port), prints
// "port=N" once listening, and runs until SIGTERM or SIGINT.

#include "log/log_view.h"
#include "platform/sockets.h"
#include "platform/timers.h"
#include "service/dispatcher.h"
#include "service/server_socket.h"
#include "service/service_lifetime.h"
#include "service/session_table.h"
#include "settings/server_settings.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Counts entries without keeping them: the benchmark measures the service.
class CountingLogView : public LogView
{
public:
    std::size_t TextLength() const override { return length; }

    void SetCaret(std::size_t) override {}

    void InsertAtCaret(const char* text) override
    {
        while (*text++ != '\0')
            ++length;
    }

    void SetReadOnly(bool) override {}

    std::size_t length = 0;
};

class PollTimers : public TimerHost
{
public:
    struct Timer
    {
        Clock::time_point due;
        unsigned ms;
        TimerCallback callback;
    };

    void Start(std::uint32_t id, unsigned ms, TimerCallback callback) override
    {
        timers[id] = Timer{Clock::now() + std::chrono::milliseconds(ms), ms, callback};
    }

    void Stop(std::uint32_t id) override { timers.erase(id); }

    int MillisecondsToNext() const
    {
        if (timers.empty())
            return 1000;
        auto next = Clock::now() + std::chrono::hours(1);
        for (const auto& [id, t] : timers)
            next = std::min(next, t.due);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
        return static_cast<int>(std::max<long>(0, ms.count()));
    }

    void FireDue()
    {
        auto now = Clock::now();
        std::map<std::uint32_t, Timer> due;
        for (auto& [id, t] : timers)
            if (t.due <= now)
                due[id] = t;
        for (auto& [id, t] : due) {
            auto it = timers.find(id);
            if (it == timers.end())
                continue;
            it->second.due = now + std::chrono::milliseconds(it->second.ms);
            t.callback(id);
        }
    }

    std::map<std::uint32_t, Timer> timers;
};

volatile sig_atomic_t stopping = 0;

void OnSignal(int)
{
    stopping = 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: service_driver PORT DIRECTORY\n");
        return 2;
    }
    if (::chdir(argv[2]) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    serverSettings.readWrite = 1;
    CountingLogView view;
    PollTimers timers;
    LogViewWindow = &view;
    SetTimerHost(&timers);
    sockets_testing::SetTftpPortOverride(htons(static_cast<std::uint16_t>(std::atoi(argv[1]))));
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);
    if (StartService().failure != StartFailure::None)
        return 1;
    std::printf("port=%u\n", ServerPort());
    std::fflush(stdout);

    pollfd p{ServerSocket, POLLIN, 0};
    while (stopping == 0) {
        int ready = ::poll(&p, 1, timers.MillisecondsToNext());
        if (ready == 1)
            OnSocketNotify(static_cast<std::uintptr_t>(ServerSocket), sockets::FD_READ);
        timers.FireDue();
    }
    StopService();
    return 0;
}
