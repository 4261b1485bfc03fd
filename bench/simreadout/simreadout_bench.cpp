// simreadout_bench: wall time of the connect stage and of a whole read-out (connect plus the
// 1536 bytes) through the real worker thread and stages, against the server model on a
// simulated line at 9600 baud, in simulated time, as the soak and the random schedules run them.
// The line's own time (pauses, link check, bytes) costs nothing here; what remains is the
// program's work and the hand-overs between the worker and the test's thread.
//
// Usage: simreadout_bench [read-outs] [folder for the dump and trace]
// The folder defaults to /dev/shm (memory), so that the dump's flush to disk, a cost of the
// file system and not of the read-out, stays out of the figures unless a disk folder is given.

#include "tests/support/scratchdir.h"
#include "tests/support/simworker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Wall = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ContextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

double Micro(Wall::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

void PrintFigures(const char* name, std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    const auto at = [&](double q) { return us[static_cast<std::size_t>(q * (us.size() - 1))]; };
    std::printf("%-22s median %8.1f us  p10 %8.1f  p90 %8.1f  min %8.1f  max %8.1f\n", name,
                at(0.5), at(0.1), at(0.9), us.front(), us.back());
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const fs::path base = argc > 2                       ? fs::path(argv[2])
                          : fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                         : fs::temp_directory_path();
    const TScratchDir scratch(base);
    const fs::path& dir = scratch.Path();
    const fs::path dump = dir / "memory.DMP";

    std::vector<double> connect, readOut, whole;
    int good = 0;
    const long switchesBefore = ContextSwitches();
    const double cpuBefore = CpuSeconds();
    long wakes = 0;
    const auto started = Wall::now();
    {
        TSimWorker sim(dir / "srvdiag.INI");
        TTestHost& host = sim.Host;
        if (!sim.ToPage4(dump.string(), false)) {
            std::fprintf(stderr, "simreadout_bench: the wizard did not reach page 4\n");
            return 1;
        }
        const int wakesBefore = host.Wakes.load();
        for (int i = 0; i < runs; ++i) {
            sim.Line.Heal();
            const auto start = Wall::now();
            // The connect stage ends when the worker moves to page 6; the condition is looked at
            // on every hand-over, the first of which follows that move at once.
            Wall::time_point afterConnect{};
            host.Next(); // page 5: connect, then read
            const bool settled = host.Serve(
                [&] {
                    if (afterConnect == Wall::time_point{} && host.Page() != 5)
                        afterConnect = Wall::now();
                    return sim.Worker.Suspended() && host.Page() != 5 && host.Page() != 6;
                },
                std::chrono::seconds(30));
            const auto end = Wall::now();
            const bool connected = afterConnect != Wall::time_point{};
            if (!connected || !settled || host.Page() != 7) {
                std::fprintf(stderr, "simreadout_bench: read-out %d ended on page %d\n", i,
                             host.Page());
                return 1;
            }
            ++good;
            connect.push_back(Micro(afterConnect - start));
            readOut.push_back(Micro(end - afterConnect));
            whole.push_back(Micro(end - start));
            host.Back(); // to page 3, on to page 4 again
            sim.Settle();
            host.Next();
            sim.Settle();
        }
        wakes = host.Wakes.load() - wakesBefore;
    }
    const double seconds = std::chrono::duration<double>(Wall::now() - started).count();
    const double cpu = CpuSeconds() - cpuBefore;
    const long switches = ContextSwitches() - switchesBefore;

    std::printf("%d read-outs (connect + 1536 bytes, 9600 baud line, simulated time), dump in %s\n",
                good, base.c_str());
    PrintFigures("connect", connect);
    PrintFigures("read-out after connect", readOut);
    PrintFigures("connect + read-out", whole);
    std::printf("per read-out cycle (with Back and Next to page 4): wall %.1f us, cpu %.1f us, "
                "%.1f context switches, %.1f main-thread wakes\n",
                seconds * 1e6 / good, cpu * 1e6 / good, static_cast<double>(switches) / good,
                static_cast<double>(wakes) / good);
    return 0;
}
