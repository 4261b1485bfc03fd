#pragma once

#include "app/cli/cliargs.h"
#include "app/cli/progressline.h"
#include "worker/workerhost.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class TCliLoop;
class TComPort;
class TSerThread;
class TStages;

// The worker's host for a read-out from the terminal: it walks the worker through page 5
// (connect) and page 6 (read-out) as the wizard does after Next on page 4, prints each page's
// text as the wizard shows it, draws the progress, and quits the application's event loop with
// the outcome: 0 success, 1 output-file error, 2 server not found, 3 communication error, 130
// after Interrupt(). It neither reads nor writes the settings file.
//
// The command line's batch (--repeat, --list --identify) runs one host after another: it names
// the dump and the trace by the server read and takes the outcome instead of the loop
// (TCliRunHooks). A host with no output stream prints nothing.
//
// Lives on the main thread, which runs the loop; the worker's synchronized calls are served from
// the loop's wake-ups (ServeWorker).
// What the batch changes in a host's run; each part is optional.
struct TCliRunHooks
{
    // The dump's name for the identification text read, handed to the worker before it reads.
    std::function<std::filesystem::path(const std::string& serverIdText)> DumpName;
    // Where a failed run's trace goes, for the identification text read (maybe none or part).
    std::function<std::filesystem::path(const std::string& serverIdText)> TraceName;
    // Takes the outcome when the worker has ended, instead of the loop quitting with it.
    std::function<void(int code)> Finished;
};

class TCliHost final : public TWorkerHost
{
public:
    TCliHost(TCliLoop& loop, const TCliArgs& args, std::unique_ptr<TStages> stages,
             const std::filesystem::path& iniPath, const std::filesystem::path& tracePath,
             std::FILE* out, bool terminal);
    ~TCliHost() override;
    TCliHost(const TCliHost&) = delete;
    TCliHost& operator=(const TCliHost&) = delete;

    // Ends the read-out at its next byte, as Back does in the window (the dump then holds the
    // blocks read so far); the loop then quits with 130.
    void Interrupt();
    void ServeWorker(); // main thread, on the loop's wake-up: run the worker's pending calls
    // Why the worker could not write the trace file after a failure; empty when it did.
    std::string TraceFileError() const;
    // Main thread, before the loop first serves the worker.
    void SetRunHooks(TCliRunHooks hooks) { Hooks = std::move(hooks); }
    std::string ServerIdText() const; // what the worker's last bring-up read

    // ---- TWorkerHost ----------------------------------------------------------------------
    std::uint8_t Page() const override { return PageValue.load(); }
    void SetPage(std::uint8_t page) override { PageValue.store(page); }
    bool NextEnabled() const override { return NextOn.load(); }
    std::filesystem::path IniPath() const override { return Ini; }
    std::filesystem::path TracePath() const override;
    TComPort& SerIF() override { return *Port; }
    bool ShutdownChecked() const override { return Args.Shutdown; }
    void WakeMainThread() override;
    void PortOpenFailed(const std::string& deviceName, const EComError& error) override;
    void ShowPage() override;
    void ShowProgress(std::uint8_t percent) override;
    void AddRecent() override {} // the command line keeps no recent-file list

private:
    void Start();          // page 4 to 5: hand the file name over and wake the worker
    void Finish(int code); // end the worker and quit the loop with code
    void Print(const std::string& text);

    TCliLoop& Loop;
    const TCliArgs Args;
    const std::filesystem::path Ini;
    const std::filesystem::path Trace;
    std::FILE* Out;
    TProgressLine Progress;
    std::unique_ptr<TComPort> Port;
    std::atomic<std::uint8_t> PageValue{4};
    std::atomic<bool> NextOn{true};
    bool Started = false;
    bool Interrupted = false;
    bool Finishing = false;
    std::unique_ptr<TStages> PendingStages;
    TCliRunHooks Hooks; // set before the worker leaves page 4, read on both threads after
    std::unique_ptr<TSerThread> Worker; // last: destroyed (and stopped) first
};
