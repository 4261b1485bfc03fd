// readout_bench: times the connect stage plus a full read-out through the real worker loop and
// stages against the server simulator on a pseudo-terminal, and sets each time beside the
// protocol's floor:
//   the two pauses (200 + 100 ms), the silent link-check wait (350 ms) and the bytes' time on
//   the line. On a full-duplex line the server answers each frame byte as it arrives, so a frame
//   of n bytes with its n answers occupies n + 1 byte times; a single-byte exchange two.
// CPU time is the whole process's (worker, simulator and this thread), an upper bound of the
// tool's own.

#include "serial/comport.h"
#include "tests/support/scratchdir.h"
#include "tools/serversim/simpty.h"
#include "worker/devicelister.h"
#include "worker/serthread.h"
#include "worker/workerhost.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class TOneDevice final : public TDeviceLister
{
public:
    explicit TOneDevice(std::string portName) : Port(std::move(portName)) {}
    std::optional<std::vector<TUsbDevice>> List() override
    {
        return std::vector<TUsbDevice>{{"USB\\VID_04D8&PID_FE88&REV_0100", "Sim (" + Port + ")"}};
    }

private:
    std::string Port;
};

// A window reduced to what the loop needs: it starts on page 5, so the worker connects at once
// and reads on, and the run ends when a closing page (7 to 10) is drawn.
class TBenchHost final : public TWorkerHost
{
public:
    explicit TBenchHost(std::filesystem::path trace) : Trace(std::move(trace)) {}

    TPage Page() const override { return PageValue.load(); }
    void SetPage(TPage page) override { PageValue.store(page); }
    bool NextEnabled() const override
    {
        return PageValue.load() != pgConnecting && PageValue.load() != pgReading;
    }
    std::filesystem::path TracePath() const override { return Trace; }
    TComPort& SerIF() override { return Port; }
    bool ShutdownChecked() const override { return false; }
    void WakeMainThread() override
    {
        std::lock_guard guard(Lock);
        Woken = true;
        Cond.notify_all();
    }
    void ShowPage() override
    {
        if (PageValue.load() >= pgSuccess && !Done) {
            Done = true;
            Finished = Clock::now();
        }
    }
    void ShowProgress(std::uint8_t) override {}
    void AddRecent() override {}

    // Serves the worker's synchronized calls until a closing page was drawn.
    void Run(TSerThread& worker)
    {
        while (!Done) {
            worker.ServeCalls();
            std::unique_lock guard(Lock);
            Cond.wait_for(guard, std::chrono::milliseconds(100), [this] { return Woken; });
            Woken = false;
        }
    }

    bool Done = false;
    Clock::time_point Finished;

private:
    std::atomic<TPage> PageValue{pgConnecting};
    std::filesystem::path Trace;
    TComPort Port;
    std::mutex Lock;
    std::condition_variable Cond;
    bool Woken = false;
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct TRun
{
    double Wall = 0;
    double Cpu = 0;
    int Page = 0;
};

TRun RunOnce(std::uint32_t baud, const std::filesystem::path& dir)
{
    TSimPty sim(TSimOptions{.Baud = baud});
    TBenchHost host(dir / "bench.ERR");
    const double cpuStart = CpuSeconds();
    const auto start = Clock::now();
    TRun run;
    {
        TSerThread worker(host, MakeSerialStages(std::make_unique<TOneDevice>(
                                    sim.SlaveName().substr(std::string("/dev/").size()))));
        worker.SetDumpFileName((dir / "bench.dmp").string());
        host.Run(worker);
        run.Wall = std::chrono::duration<double>(host.Finished - start).count();
        run.Cpu = CpuSeconds() - cpuStart;
        run.Page = host.Page();
    }
    return run;
}

double FloorSeconds(std::uint32_t baud)
{
    const double fixed = 0.200 + 0.100 + 0.350;
    if (baud == 0)
        return fixed;
    // Probe, wake, 19 identification steps and the echoed link-check byte: 22 answered single
    // bytes; the first link-check byte goes out inside its 350 ms wait. Then 128 frames of 17.
    const double byteTimes = 22 * 2 + 128 * (17 + 1);
    return fixed + byteTimes * 11.0 / baud;
}

void Report(const char* name, std::uint32_t baud, int runs, double goal,
            const std::filesystem::path& dir)
{
    std::vector<TRun> results;
    for (int i = 0; i < runs; ++i)
        results.push_back(RunOnce(baud, dir));
    std::sort(results.begin(), results.end(),
              [](const TRun& a, const TRun& b) { return a.Wall < b.Wall; });
    const TRun& median = results[results.size() / 2];
    const double floor = FloorSeconds(baud);
    std::printf("%-16s floor %7.1f ms  median %7.1f ms  ratio %.3f (goal <= %.2f)  "
                "cpu %5.1f ms = %.2f%% of wall  page %d\n",
                name, floor * 1e3, median.Wall * 1e3, median.Wall / floor, goal, median.Cpu * 1e3,
                100.0 * median.Cpu / median.Wall, median.Page);
    for (const TRun& r : results)
        std::printf("    run: %7.1f ms, cpu %5.1f ms\n", r.Wall * 1e3, r.Cpu * 1e3);
}

} // namespace

int main()
{
    const TScratchDir scratch;
    const std::filesystem::path& dir = scratch.Path();
    std::printf("connect + full read-out (1536 bytes, 128 frames) against the simulator\n");
    Report("unpaced", 0, 5, 1.05, dir);
    Report("9600 baud 8N2", 9600, 3, 1.02, dir);
    return 0;
}
