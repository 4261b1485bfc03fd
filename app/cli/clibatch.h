#pragma once

#include "app/cli/batchtexts.h"
#include "app/cli/cliargs.h"
#include "app/cli/identifystages.h"
#include "app/cli/serverchoice.h"
#include "app/cli/serverwatch.h"

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
// Exit status: that of the read-out; a listing 0, or 2 when no server is present; --repeat that
// of its last read-out, 0 when --count good read-outs were made, 2 when a wait for a server ran
// out before (or before any read-out); 130 after Ctrl+C.
class TCliBatch
{
public:
    // out and terminal are where a single read-out prints its texts (nullptr: nowhere);
    // errTerminal tells that standard error is a terminal, where the waits are announced.
    TCliBatch(TCliLoop& loop, const TCliArgs& args, const std::filesystem::path& iniPath,
              const std::filesystem::path& tracePath, std::FILE* out, bool terminal,
              bool errTerminal);
    ~TCliBatch();
    TCliBatch(const TCliBatch&) = delete;
    TCliBatch& operator=(const TCliBatch&) = delete;

    void OnWake();      // the loop's wake handler
    void OnInterrupt(); // the loop's Ctrl+C handler

    // After a single read-out that failed: why its trace (the program's own) could not be
    // written; empty when it was.
    std::string TraceFileError() const;

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
    const std::filesystem::path Ini;
    const std::filesystem::path Trace;
    std::FILE* Out;
    const bool Terminal;
    const bool ErrTerminal;

    std::unique_ptr<TServerWatch> Watch;
    TWatching Watching = TWatching::Nothing;
    std::unique_ptr<TCliHost> Host;
    bool Running = false; // Host is in a read-out or identification
    bool Ending = false;
    unsigned RunNumber = 0; // read-outs started
    unsigned GoodRuns = 0;
    int LastCode = 2;                    // the last read-out's exit status (2 before any)
    std::optional<TServerEntry> Current; // the server of the running or last read-out
    std::string RunTime;                 // {time} of the running read-out

    std::vector<TListedServer> Listed;
    std::deque<std::size_t> ToIdentify; // indices into Listed
    std::shared_ptr<TIdentifyResult> Identifying;
};
