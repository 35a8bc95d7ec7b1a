// How late the event loop gets while 200 read transfers run at once. The
// server runs in this process with its window shown (on an ephemeral
// loopback port); a client thread drives 200 lock-step TFTP reads; a 10 ms
// timer on the GUI thread records how late each of its ticks comes. The
// same timer runs first with no load, for comparison.
//
//   QT_QPA_PLATFORM=offscreen bench/app/load_responsiveness_bench [sessions] [KiB]

#include "app/ferry_app.h"
#include "app/main_window/sdi_dec_frame.h"
#include "bench_clock.h"
#include "platform/sockets.h"
#include "service/server_socket.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kTickMs = 10;

struct Reader
{
    int fd = -1;
    sockaddr_in server{};
    bool done = false;
    long bytes = 0;
};

// Runs `sessions` concurrent reads of `file` to completion; returns the
// bytes received in total.
long RunClients(std::uint16_t port, int sessions, const char* file)
{
    std::vector<Reader> readers(static_cast<std::size_t>(sessions));
    std::vector<pollfd> fds;
    for (Reader& r : readers) {
        r.fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        char request[128];
        int n = std::snprintf(request + 2, sizeof request - 2, "%s", file);
        request[0] = 0;
        request[1] = 1;
        std::memcpy(request + 2 + n + 1, "octet", 6);
        sendto(r.fd, request, static_cast<size_t>(2 + n + 1 + 6), 0,
               reinterpret_cast<sockaddr*>(&to), sizeof to);
        fds.push_back({r.fd, POLLIN, 0});
    }
    int remaining = sessions;
    long total = 0;
    while (remaining > 0) {
        if (poll(fds.data(), fds.size(), 20000) <= 0)
            break; // the server stopped answering: report what arrived
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if ((fds[i].revents & POLLIN) == 0)
                continue;
            Reader& r = readers[i];
            unsigned char buffer[600];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t got = recvfrom(r.fd, buffer, sizeof buffer, 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
            if (got < 4 || buffer[1] != 3)
                continue;
            unsigned char ack[4] = {0, 4, buffer[2], buffer[3]};
            sendto(r.fd, ack, 4, 0, reinterpret_cast<sockaddr*>(&from), length);
            r.bytes += got - 4;
            if (got < 516 && !r.done) {
                r.done = true;
                fds[i].events = 0;
                total += r.bytes;
                --remaining;
            }
        }
    }
    for (Reader& r : readers)
        close(r.fd);
    return total;
}

// Records how late each tick of a kTickMs timer is, until `stop` is set.
std::vector<double> MeasureLateness(const std::atomic<bool>& stop, int minimumTicks)
{
    std::vector<double> late;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        qint64 now = clock.nsecsElapsed();
        late.push_back(static_cast<double>(now - last) / 1e6 - kTickMs);
        last = now;
        if (stop && static_cast<int>(late.size()) >= minimumTicks)
            loop.quit();
    });
    timer.start(kTickMs);
    loop.exec();
    return late;
}

void Report(const char* what, const std::vector<double>& late)
{
    std::printf("%-22s: %zu ticks, lateness median %.2f ms, p99 %.2f ms, max %.2f ms\n", what,
                late.size(), Median(late), Percentile(late, 0.99),
                late.empty() ? 0.0 : Percentile(late, 1.0));
}

} // namespace

int main(int argc, char** argv)
{
    const int sessions = argc > 1 ? std::atoi(argv[1]) : 200;
    const int kib = argc > 2 ? std::atoi(argv[2]) : 256;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    {
        QFile file(QStringLiteral("load.bin"));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(kib * 1024 + 100, 'x'));
    }

    ferryApp app(argc, argv);
    sockets_testing::SetTftpPortOverride(0);
    if (app.createMainWindow() != 0)
        return 1;
    app.mainWindow()->show();

    std::atomic<bool> idleDone{true};
    Report("idle", MeasureLateness(idleDone, 100));

    std::atomic<bool> loadDone{false};
    long bytes = 0;
    double start = NowSeconds();
    double seconds = 0;
    std::thread clients([&] {
        bytes = RunClients(ServerPort(), sessions, "load.bin");
        seconds = NowSeconds() - start;
        loadDone = true;
    });
    std::vector<double> late = MeasureLateness(loadDone, 1);
    clients.join();
    Report("during load", late);
    std::printf("load                  : %d sessions x %d KiB, %.1f MiB in %.2f s (%.1f MiB/s)\n",
                sessions, kib, static_cast<double>(bytes) / 1048576.0, seconds,
                static_cast<double>(bytes) / 1048576.0 / seconds);
    app.server().stop();
    return 0;
}
