// The cost of one look of the Transfers panel at many transfers under way.
// The server runs in this process on an ephemeral loopback port with its
// window and panel shown; N peers each ask for a file and then stay silent,
// so N read sessions stay open. Before each look every session's counters
// move on, as they would in a busy second, so every row changes. Timed:
// the model's refresh (reading the service, rates, the sorted view's
// reordering) and the repaint of what the table shows, unsorted and sorted
// by the rate, which changes at every look.
//
//   bench/app/transfers_refresh_bench [sessions] [looks]
// Run it with a display (Xvfb) or QT_QPA_PLATFORM=offscreen.

#include "app/ferry_app.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app/transfers/transfers_model.h"
#include "app/transfers/transfers_panel.h"
#include "bench_clock.h"
#include "platform/sockets.h"
#include "service/server_socket.h"
#include "service/session_table.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

int CountTransfers()
{
    int n = 0;
    for (const Session* s = SessionTable; s != nullptr; s = s->next)
        n += s->file != nullptr ? 1 : 0;
    return n;
}

// As if each transfer had moved a few blocks since the last look.
void MoveCountersOn(int look)
{
    int i = 0;
    for (Session* s = SessionTable; s != nullptr; s = s->next, ++i) {
        s->progress.confirmedBytes += 512 * (1 + (i + look) % 7);
        if ((i + look) % 50 == 0)
            ++s->progress.resends;
    }
}

void Wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// CPU time of this thread, which is what holds up the event loop; wall
// time on a shared machine also counts whoever else runs.
struct Timing
{
    std::vector<double> refreshMs;
    std::vector<double> paintMs;
    std::vector<double> wallMs;
};

Timing Measure(TransfersPanel* panel, int looks, int firstLook)
{
    Timing t;
    QWidget* viewport = panel->table()->viewport();
    for (int look = 0; look < looks; ++look) {
        MoveCountersOn(firstLook + look);
        double wall = NowSeconds();
        double start = ThreadCpuSeconds();
        panel->model()->refresh();
        double refreshed = ThreadCpuSeconds();
        viewport->repaint();
        double painted = ThreadCpuSeconds();
        t.refreshMs.push_back((refreshed - start) * 1e3);
        t.paintMs.push_back((painted - refreshed) * 1e3);
        t.wallMs.push_back((NowSeconds() - wall) * 1e3);
    }
    return t;
}

void Report(const char* what, const Timing& t)
{
    std::vector<double> total;
    for (std::size_t i = 0; i < t.refreshMs.size(); ++i)
        total.push_back(t.refreshMs[i] + t.paintMs[i]);
    std::printf("%-15s: CPU per look: refresh %.2f ms, repaint %.2f ms, in all %.2f ms median "
                "(p90 %.2f); wall time in all %.2f ms median (p90 %.2f)\n",
                what, Median(t.refreshMs), Median(t.paintMs), Median(total), Percentile(total, 0.9),
                Median(t.wallMs), Percentile(t.wallMs, 0.9));
}

} // namespace

int main(int argc, char** argv)
{
    const int sessions = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int looks = argc > 2 ? std::atoi(argv[2]) : 200;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    {
        QFile file(QStringLiteral("image.bin"));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(8 << 20, 'x'));
    }
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());

    ferryApp app(argc, argv);
    sockets_testing::SetTftpPortOverride(0);
    if (app.createMainWindow() != 0)
        return 1;
    SDIDecFrame* frame = app.mainWindow();
    frame->show();
    auto* panel = frame->findChild<TransfersPanel*>();
    for (QAction* top : frame->menuBar()->actions()) {
        for (QAction* entry : top->menu()->actions()) {
            if (entry->data().toInt() == command::kViewTransfers)
                entry->trigger(); // View > Transfers
        }
    }
    Wait(200);

    // Every peer asks once and never acknowledges: the sessions stay open
    // (for 15 s, well beyond the measurement).
    std::vector<int> peers;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(ServerPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char request[] = "\0\1image.bin\0octet";
    for (int i = 0; i < sessions; ++i) {
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sendto(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        peers.push_back(fd);
        if (i % 100 == 99)
            QCoreApplication::processEvents();
    }
    for (int i = 0; i < 500 && CountTransfers() < sessions; ++i)
        Wait(10);
    // Let the panel take them in before measuring.
    Wait(2 * TransfersPanel::kRefreshMs);
    std::printf("sessions under way  : %d, rows %d\n", CountTransfers(),
                panel->model()->rowCount());

    Report("unsorted", Measure(panel, looks, 0));
    panel->table()->sortByColumn(TransfersModel::Rate, Qt::DescendingOrder);
    Report("sorted by rate", Measure(panel, looks, looks));

    app.server().stop();
    for (int fd : peers)
        close(fd);
    return 0;
}
