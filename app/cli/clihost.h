#pragma once

#include "app/cli/cliargs.h"
#include "app/cli/progressline.h"
#include "app/cli/tracewalk.h"
#include "worker/workerhost.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

class TCliLoop;
class TComPort;
class TProtocolLog;
class TSerThread;
class TStages;

// The worker's host for a read-out from the terminal: it walks the worker through page 5
// (connect) and page 6 (read-out) as the wizard does after Next on page 4, prints each page's
// text as the wizard shows it, draws the progress, and quits the application's event loop with
// the outcome: 0 success, 1 output-file error, 2 server not found, 3 communication error, 130
// after Interrupt(). It neither reads nor writes the settings file.
//
// Lives on the main thread, which runs the loop; the worker's synchronized calls are served from
// the loop's wake-ups (ServeWorker).
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
    // Where and why the exchange stopped, as the protocol log followed it live (a device that
    // went away is told apart from a missing answer there, which the trace alone cannot do).
    // Final once the loop has quit.
    TTraceVerdict ExchangeVerdict() const;

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
    TExchangeObserver* ExchangeObserver() override;

private:
    void Start();          // page 4 to 5: hand the file name over and wake the worker
    void Finish(int code); // end the worker and quit the loop with code
    void Print(const std::string& text);
    void PrintLog(const std::string& lines); // the protocol log's lines, on stderr

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
    // The protocol log the worker feeds; printed with -v, else kept only for its verdict.
    std::unique_ptr<TProtocolLog> Log;
    std::unique_ptr<TStages> PendingStages;
    std::unique_ptr<TSerThread> Worker; // last: destroyed (and stopped) first
};
