// Fuzz target: the worker's loop and stages, from page 5 to the end, against a server whose
// answers the fuzzer's bytes spoil (TFuzzServer), with Back and close pressed where the bytes
// say. Checked beyond no crash and no sanitizer report: the run ends on a page the stage results
// allow; a dump file exists only after a full, checked read-out (then it is the memory image) or
// after a Back or close (then it is the blocks read so far); the trace, in memory and in its
// file, is always a well-formed trace.

#include "app/core/wizardmodel.h"
#include "fuzz/fuzzplatform.h"
#include "fuzz/fuzzserver.h"
#include "protocol/traceparser.h"
#include "serial/comport.h"
#include "worker/devicelister.h"
#include "worker/serthread.h"
#include "worker/serverport.h"
#include "worker/workerhost.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Simulated time for the worker's pauses (200 ms after opening the port, 100 ms after the line
// change): a sleep moves the clock on at once. The fuzz platform answers as soon as it is
// written to, so nothing else in a run waits.
class TFuzzClock final : public TClock
{
public:
    TInstant Now() const override { return TInstant(TDuration(Ticks.load())); }
    void SleepUntil(TInstant instant) override
    {
        if (instant > Now())
            Ticks.store(instant.time_since_epoch().count());
    }

private:
    std::atomic<TDuration::rep> Ticks{0};
};

class TFuzzLister final : public TDeviceLister
{
public:
    std::optional<std::vector<TUsbDevice>> List() override
    {
        return std::vector<TUsbDevice>{{"USB\\VID_04D8&PID_FE88&REV_0100", "Server (fuzz0)"}};
    }
};

// The window, as far as the worker sees it; the fuzz target's thread is its main thread.
class TFuzzHost final : public TWorkerHost
{
public:
    TFuzzHost(std::filesystem::path trace, TFuzzServer& server)
        : Trace(std::move(trace)), Port(std::make_unique<TFuzzPlatform>(server))
    {
    }

    TPage Page() const override { return PageValue.load(); }
    void SetPage(TPage page) override { PageValue.store(page); }
    bool NextEnabled() const override { return NextOn.load(); }
    std::filesystem::path TracePath() const override { return Trace; }
    TComPort& SerIF() override { return Port; }
    bool ShutdownChecked() const override { return Shutdown; }
    TClock& Clock() override { return SimulatedTime; }
    // The fuzz target's thread is idle while it waits in Serve: the worker's synchronized calls
    // then run at once on the worker's thread, under the host's lock, which that thread takes
    // before it does anything else; the worker wakes it only once Serve's condition holds. A run
    // so costs no thread switch per call, and the calls stay one at a time with the target's own
    // work.
    void WakeMainThread() override
    {
        std::lock_guard guard(Lock);
        if (IdleDone) {
            Worker->ServeCalls();
            if (!Woken && IdleDone())
                Woken = true;
            else
                return;
        } else {
            Woken = true;
        }
        Cond.notify_all();
    }
    void ShowPage() override
    {
        const TPageView view = WizardView(PageValue.load(), 0, DumpName.empty());
        NextOn.store(view.NextButEnabled);
        if (view.HandOverDumpFileName)
            Worker->SetDumpFileName(DumpName);
        if (view.ClosePort)
            ReleaseServerPort(Port);
        if (view.ResumeWorker)
            Worker->Resume();
    }
    void ShowProgress(std::uint8_t) override {}
    void AddRecent() override { ++RecentAdds; }

    // Serves the worker's calls until done() holds. Every change done() looks at comes with a
    // wake; the look every 10 ms only keeps a lost one from hanging the run.
    void Serve(const std::function<bool()>& done)
    {
        for (;;) {
            Worker->ServeCalls();
            if (done())
                return;
            std::unique_lock guard(Lock);
            if (!Woken)
                IdleDone = done;
            Cond.wait_for(guard, std::chrono::milliseconds(10), [this] { return Woken; });
            IdleDone = nullptr;
            Woken = false;
        }
    }
    void Next() // on pages 1 to 4
    {
        PageValue.store(*WizardNext(PageValue.load()));
        ShowPage();
    }

    TSerThread* Worker = nullptr;
    std::string DumpName;
    bool Shutdown = false;
    int RecentAdds = 0;

private:
    std::atomic<TPage> PageValue{pgNotStarted};
    std::atomic<bool> NextOn{true};
    std::filesystem::path Trace;
    TFuzzClock SimulatedTime;
    TComPort Port;
    std::mutex Lock;
    std::condition_variable Cond;
    bool Woken = false;
    std::function<bool()> IdleDone; // Serve's condition while the target's thread waits
};

// The run's dump and trace files: in memory (/dev/shm) where there is one, since every run
// writes and flushes them and a flush to disk would cost more than the run; else the temporary
// folder.
fs::path WorkDirPath()
{
    std::error_code error;
    const fs::path base =
        fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    return base / ("srvdiag_fuzz_" + std::to_string(::getpid()));
}

fs::path WorkDir()
{
    static const fs::path dir = [] {
        fs::path d = WorkDirPath();
        fs::create_directories(d);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(WorkDirPath(), ignored);
        });
        return d;
    }();
    return dir;
}

bool IsImagePrefix(const std::string& dump)
{
    static const std::string image = TFuzzServer::Image();
    return dump.size() % 12 == 0 && image.compare(0, dump.size(), dump) == 0;
}

void CheckTrace(const std::string& trace, const char* what)
{
    TParsedTrace parsed;
    if (const auto error = ParseTrace(trace, parsed)) {
        std::fprintf(stderr, "%s: %s\n", what, error->c_str());
        Fail("the trace is not well formed");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fs::path dump = WorkDir() / "memory.DMP";
    const fs::path trace = WorkDir() / "srvdiag.ERR";
    fs::remove(dump);
    fs::remove(trace);

    const bool shutdown = size > 0 && (data[0] & 1) != 0;
    TFuzzServer server(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0);
    TFuzzHost host(WorkDir() / "srvdiag.ERR", server);
    host.DumpName = dump.string();
    host.Shutdown = shutdown;
    std::uint8_t page = 0;
    std::string finalTrace;
    {
        TSerThread worker(host, MakeSerialStages(std::make_unique<TFuzzLister>()));
        host.Worker = &worker;
        server.OnBack = [&worker] { worker.RequestBack(); };
        server.OnClose = [&worker, &host] {
            worker.Terminate();
            host.WakeMainThread(); // the run's end is the target's to see
        };
        host.SetPage(pgLanguage);
        host.ShowPage();
        host.Serve([&] { return worker.Suspended(); });
        for (int i = 0; i < 3; ++i) { // pages 2, 3 and 4
            host.Next();
            host.Serve([&] { return worker.Suspended(); });
        }
        host.Next(); // page 5: connect, then read
        host.Serve([&] {
            return server.ClosePressed || (worker.Suspended() && host.Page() != pgConnecting &&
                                           host.Page() != pgReading && !worker.BackRequested());
        });
        page = host.Page();
        worker.Terminate();
        worker.Resume();
        worker.WaitFor();
        finalTrace = worker.Trace;
    }

    CheckTrace(finalTrace, "worker trace");
    if (fs::exists(trace))
        CheckTrace(ReadFile(trace), "trace file");
    const bool cut = server.BackPressed || server.ClosePressed;
    if (fs::exists(dump)) {
        const std::string content = ReadFile(dump);
        if (page == 7 ? content != TFuzzServer::Image() : !(cut && IsImagePrefix(content)))
            Fail("a dump file without a full checked read-out, or not what was read");
    } else if (page == 7) {
        Fail("success without a dump file");
    }
    if ((page == 7) != (host.RecentAdds == 1) || host.RecentAdds > 1)
        Fail("recent files changed without a success, or not once");
    if (!server.ClosePressed) {
        const bool allowed = server.BackPressed ? page == 3 : page == 7 || page == 9 || page == 10;
        if (!allowed)
            Fail("the run ended on a page its results do not allow");
        if (page == 9 && server.ToolWroteFrame)
            Fail("server-not-found after the read-out began");
    }
    return 0;
}
