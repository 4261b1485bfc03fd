#pragma once

#include "app/cli/cliargs.h"
#include "app/cli/progressline.h"
#include "protocol/tracewalk.h"
#include "worker/workerhost.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class TCliLoop;
class TComPort;
class TProtocolLog;
class TSerThread;
class TStages;

// What one read-out left behind, for the command line's report.
struct TRunFacts
{
    int Code = ExitSuccess;  // the exit status of the worker's result (ExitCodeFor), or
                             // ExitInterrupted
    bool ReadOutRan = false; // the connect succeeded and the read-out began
    std::string Trace;       // the worker's record of the attempt
    std::string ServerId;    // the identification text as far as it came
    std::string DumpError;   // why the worker could not write the dump file
    std::string TraceError;  // why it could not write the trace file
    TTraceVerdict Verdict;   // where and why the exchange stopped, as the protocol log saw it
    // The port bring-up could not open, with the system's reason, when it was refused or busy.
    std::string RefusedPort, RefusedReason;
    bool PortBusy = false;
    std::chrono::milliseconds ConnectTime{0}, ReadTime{0};
};

// The exit status for a stage result.
int ExitCodeFor(TStageResult result);

// The worker's host for a read-out from the terminal: it has the worker run the connect stage and
// the read-out, draws the progress on a terminal, and quits the application's event loop once the
// worker has ended, with the facts of the run (Facts). It has no settings file, and it prints no
// outcome: the caller reports the facts.
//
// The command line's batch (--repeat, --list --identify) runs one host after another: it names
// the trace by the server read and takes the outcome instead of the loop (TCliRunHooks).
//
// Lives on the main thread, which runs the loop; the worker's synchronized calls are served from
// the loop's wake-ups (ServeWorker).
// What the batch changes in a host's run; each part is optional.
struct TCliRunHooks
{
    // Where a failed run's trace goes, for the identification text read (maybe none or part).
    // Called on the worker thread.
    std::function<std::filesystem::path(const std::string& serverIdText)> TraceName;
    // Takes the outcome once the worker has ended and Facts() is complete, instead of the loop
    // quitting with it.
    std::function<void(int code)> Finished;
    // Writes the dump instead of the worker's own write to the file name (TWorkerHost::WriteDump).
    // Called on the worker thread.
    std::function<long(const char* data, std::size_t count, std::string& error)> WriteDump;
};

class TCliHost final : public TWorkerHost
{
public:
    // The worker writes the dump to dumpFile. progress, when given, is where the progress is
    // drawn (a terminal).
    TCliHost(TCliLoop& loop, const TCliArgs& args, const std::filesystem::path& dumpFile,
             std::unique_ptr<TStages> stages, const std::filesystem::path& tracePath,
             std::FILE* progress);
    ~TCliHost() override;
    TCliHost(const TCliHost&) = delete;
    TCliHost& operator=(const TCliHost&) = delete;

    // Ends the read-out at its next byte, as Back does in the window (the dump file then holds
    // the blocks read so far); the loop then quits with 130.
    void Interrupt();
    void ServeWorker(); // main thread, on the loop's wake-up: run the worker's pending calls
    // A progress bar is on the terminal and its line not ended.
    bool ProgressOnScreen() const { return Progress.Shown(); }
    const TRunFacts& Facts() const { return RunFacts; } // complete once the loop has quit
    // Main thread, before the loop first serves the worker.
    void SetRunHooks(TCliRunHooks hooks) { Hooks = std::move(hooks); }

    // ---- TWorkerHost ----------------------------------------------------------------------
    TPage Page() const override { return PageValue.load(); }
    void SetPage(TPage page) override { PageValue.store(page); }
    bool NextEnabled() const override { return NextOn.load(); }
    std::filesystem::path TracePath() const override;
    TComPort& SerIF() override { return *Port; }
    bool ShutdownChecked() const override { return Args.Shutdown; }
    void WakeMainThread() override;
    void PortOpenFailed(const std::string& deviceName, const EComError& error) override;
    void ShowPage() override;
    void ShowProgress(std::uint8_t percent) override;
    void AddRecent() override {} // the command line keeps no recent-file list
    TExchangeObserver* ExchangeObserver() override;
    long WriteDump(const std::filesystem::path& name, const char* data, std::size_t count,
                   std::string& error) override;

private:
    using TClock = std::chrono::steady_clock;
    void Start();          // hand the file name over and wake the worker for the connect stage
    void Finish(int code); // end the worker, take its facts and quit the loop with code
    void Print(const std::string& text);
    void PrintLog(const std::string& lines); // the protocol log's lines, on stderr

    TCliLoop& Loop;
    const TCliArgs Args;
    const std::filesystem::path DumpFile;
    const std::filesystem::path Trace;
    std::FILE* ProgressOut;
    TProgressLine Progress;
    std::unique_ptr<TComPort> Port;
    // The worker parks in its first pass (Next enabled) until Start sends it to the connect stage.
    std::atomic<TPage> PageValue{pgConnect};
    std::atomic<bool> NextOn{true};
    bool Started = false;
    bool Interrupted = false;
    bool Finishing = false;
    TClock::time_point ConnectStart, ReadStart;
    TRunFacts RunFacts;
    std::mutex OpenFailureLock; // guards the Refused fields of RunFacts until the worker ended
    // The protocol log the worker feeds; printed with -v, else kept only for its verdict.
    std::unique_ptr<TProtocolLog> Log;
    std::unique_ptr<TStages> PendingStages;
    TCliRunHooks Hooks; // set before the worker leaves page 4, read on both threads after
    std::unique_ptr<TSerThread> Worker; // last: destroyed (and stopped) first
};
