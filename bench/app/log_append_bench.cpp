// The cost of one log entry with 10 entries in the view and with 500,000,
// in a shown window whose paint events are processed between bursts, as
// the event loop does. Prints medians of repeated bursts and their ratio,
// and the process's memory with 500,000 entries. Then the same view held
// at a bound of lines (100,000 unless given): what an entry costs there,
// what one cut of the oldest lines costs, and that cost shared out over the
// entries between cuts.
//
//   QT_QPA_PLATFORM=offscreen bench/app/log_append_bench [entries] [bound]

#include "app/ferry_app.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/sdi_dec_frame.h"
#include "bench_clock.h"
#include "log/activity_log.h"
#include "log/log_view.h"
#include "settings/log_view_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kBurst = 200; // entries per timed burst
constexpr int kBursts = 15; // bursts per size; the median is reported

// A line like the ones a busy server writes.
void AppendTypical(int i)
{
    LogLine("10.1.%d.%d requested to read file images/pxelinux.%d in format octet\r\n",
            (i >> 8) & 255, i & 255, i % 97);
}

struct AppendCost
{
    double wallUs;
    double cpuUs;
};

AppendCost MicrosecondsPerAppend(ferryEditFile* view, int& counter)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int b = 0; b < kBursts; ++b) {
        double start = NowSeconds();
        double cpuStart = ThreadCpuSeconds();
        for (int i = 0; i < kBurst; ++i)
            AppendTypical(counter++);
        view->flushPendingEntries();       // as the refresh timer would
        QCoreApplication::processEvents(); // layout and paint, as the loop would
        wall.push_back((NowSeconds() - start) * 1e6 / kBurst);
        cpu.push_back((ThreadCpuSeconds() - cpuStart) * 1e6 / kBurst);
    }
    return {Median(wall), Median(cpu)};
}

struct BoundedCost
{
    double plainCpuUs; // per entry, median of bursts without a cut
    double cutMs;      // one cut, beyond what its burst's entries cost
    int cuts;
    double residentMiB; // at the bound, after the cuts
};

// Fills a view bounded at `bound` lines up to it, then appends bursts
// through five cuts and tells the bursts that cut from those that did not.
BoundedCost CostAtTheBound(ferryEditFile* view, int bound, int& counter)
{
    view->clearAll();
    view->setMaxLines(bound);
    while (view->droppedLines() == 0) {
        for (int i = 0; i < 1000; ++i)
            AppendTypical(counter++);
        view->flushPendingEntries();
        QCoreApplication::processEvents();
    }
    std::vector<double> plain;
    std::vector<double> cutting;
    while (cutting.size() < 5) {
        const long long dropped = view->droppedLines();
        double cpuStart = ThreadCpuSeconds();
        for (int i = 0; i < kBurst; ++i)
            AppendTypical(counter++);
        view->flushPendingEntries();
        QCoreApplication::processEvents();
        const double cpu = ThreadCpuSeconds() - cpuStart;
        (view->droppedLines() != dropped ? cutting : plain).push_back(cpu);
    }
    const double plainBurst = Median(plain);
    return {plainBurst * 1e6 / kBurst, (Median(cutting) - plainBurst) * 1e3,
            static_cast<int>(cutting.size()), static_cast<double>(ResidentKiB()) / 1024.0};
}

} // namespace

int main(int argc, char** argv)
{
    const int target = argc > 1 ? std::atoi(argv[1]) : 500000;
    const int bound = argc > 2 ? std::atoi(argv[2]) : kDefaultLogViewMaxLines;
    ferryApp app(argc, argv);
    SDIDecFrame frame(app.server(), app.printing(), app.contextHelp());
    ferryEditFile* view = frame.logView();
    LogViewWindow = view;
    frame.show();
    QCoreApplication::processEvents();

    int counter = 0;
    for (int i = 0; i < 10; ++i)
        AppendTypical(counter++);
    const AppendCost small = MicrosecondsPerAppend(view, counter);

    double fillStart = NowSeconds();
    while (view->blockCount() < target) {
        for (int i = 0; i < 1000; ++i)
            AppendTypical(counter++);
        view->flushPendingEntries();
        QCoreApplication::processEvents();
    }
    const double fillSeconds = NowSeconds() - fillStart;
    const AppendCost large = MicrosecondsPerAppend(view, counter);

    std::printf("entries in view        : 10 vs %d\n", view->blockCount() - 1);
    std::printf("per append, 10 entries : %.1f us CPU, %.1f us wall (medians of %d bursts of %d)\n",
                small.cpuUs, small.wallUs, kBursts, kBurst);
    std::printf("per append, %d     : %.1f us CPU, %.1f us wall\n", target, large.cpuUs,
                large.wallUs);
    std::printf("ratio large / small    : %.2f CPU, %.2f wall\n", large.cpuUs / small.cpuUs,
                large.wallUs / small.wallUs);
    std::printf("fill to %d entries : %.1f s\n", target, fillSeconds);
    std::printf("resident memory        : %.1f MiB with %zu bytes of log text\n",
                static_cast<double>(ResidentKiB()) / 1024.0, view->TextLength());

    // The bound is tried last: memory freed by its cuts stays with the
    // process, and would hide what the unbounded view takes.
    const BoundedCost bounded = CostAtTheBound(view, bound, counter);
    const int perCut = bound - (bound - std::max(1, bound / 10) - 1);
    std::printf("bound of lines         : %d, %d lines dropped per cut\n", bound, perCut);
    std::printf("per append, at bound   : %.2f us CPU (median of the bursts without a cut)\n",
                bounded.plainCpuUs);
    std::printf("one cut                : %.1f ms CPU beyond its burst (median of %d), %.3f us per "
                "entry between cuts\n",
                bounded.cutMs, bounded.cuts, bounded.cutMs * 1e3 / perCut);
    std::printf("resident memory        : %.1f MiB at the bound (after the larger view above)\n",
                bounded.residentMiB);
    LogViewWindow = nullptr;
    return 0;
}
