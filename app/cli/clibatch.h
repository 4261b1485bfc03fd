#pragma once

#include "app/cli/batchtexts.h"
#include "app/cli/cliargs.h"
#include "app/cli/discoveryrecord.h"
#include "app/cli/identifystages.h"
#include "app/cli/serverchoice.h"
#include "app/cli/serverwatch.h"
#include "app/core/platformfiles.h"

#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TCliHost;
class TCliLoop;

// What srvdiag-cli does between its start and its exit code, on the main thread, driven by the
// loop's wake-ups: one read-out as the window makes it (of the first server found, or of the
// one on --port), a listing of the servers present (--list, --identify), or read-outs one after
// another (--repeat), each waiting for a server (--wait, --timeout) and, between two, for the
// server read to be unplugged.
//
// Each read-out is reported as a single one is (its line on standard error, with --json its
// object on standard output); under --repeat the line starts with the read-out's number and the
// server's {id}, and the trace of a failed one goes beside its dump instead of into the
// program's trace file.
//
// Exit status: that of the read-out; a listing 0, or 2 when no server is present; --repeat that
// of its last read-out, 0 when --count good read-outs were made, 2 when a wait for a server ran
// out before (or before any read-out); 128 + the signal after Ctrl+C, SIGTERM or SIGHUP.
class TCliBatch
{
public:
    // errTerminal tells that standard error is a terminal, where progress and the waits show.
    TCliBatch(TCliLoop& loop, const TCliArgs& args, const std::filesystem::path& tracePath,
              bool errTerminal);
    ~TCliBatch();
    TCliBatch(const TCliBatch&) = delete;
    TCliBatch& operator=(const TCliBatch&) = delete;

    void OnWake();      // the loop's wake handler
    void OnInterrupt(); // the loop's Ctrl+C handler

private:
    enum class TWatching : std::uint8_t { Nothing, ForServer, ForUnplug };

    void Begin();
    void StartRun(const std::optional<TServerEntry>& server);
    void RunEnded(int code);
    void WatchForServer();
    void WatchForUnplug();
    void WatchDone();
    void ListServersNow();
    void IdentifyNext();
    void IdentifyEnded(int code);
    void PrintListing();
    void End(int code);
    std::unique_ptr<TDeviceLister> ListerFor(const std::string& port) const;

    TCliLoop& Loop;
    const TCliArgs Args;
    const std::filesystem::path Trace;
    const bool ErrTerminal;

    std::unique_ptr<TServerWatch> Watch;
    TWatching Watching = TWatching::Nothing;
    std::unique_ptr<TCliHost> Host;
    bool Running = false; // Host is in a read-out or identification
    bool Ending = false;
    unsigned RunNumber = 0;  // read-outs started
    unsigned NumberBase = 0; // the highest {n} an earlier run left; this run's {n} go on from it
    unsigned GoodRuns = 0;
    unsigned FailedRuns = 0;              // read-outs that ended with a failure (not interrupted)
    int LastCode = 2;                     // the last read-out's exit status (2 before any)
    std::optional<TServerEntry> Current;  // the server of the running or last read-out
    std::string RunTime;                  // {time} of the running read-out
    std::optional<TFileReplacement> Dump; // the new dump of the running read-out
    std::unique_ptr<TDiscoveryRecord> Discovery; // what its discovery listed

    std::vector<TListedServer> Listed;
    std::deque<std::size_t> ToIdentify; // indices into Listed
    std::shared_ptr<TIdentifyResult> Identifying;
};
