#pragma once

#include "app/cli/serverchoice.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The command line's own texts for listing servers and reading many, in English (0) and Dutch
// (1). Each is one line without its line end.

// One read-out of --repeat: its number, the server's {id}, and where the dump or trace went.
struct TRunSummary
{
    unsigned Run = 0;
    int Code = 0;   // the read-out's exit status
    std::string Id; // the {id} value, "unknown" when the server did not tell it
    std::filesystem::path Dump;
    std::uintmax_t DumpSize = 0;
    std::filesystem::path Trace; // empty when none was due
    std::string TraceError;      // why the trace could not be written; empty when it was
};
std::string RunSummaryLine(const TRunSummary& summary, std::uint8_t lang);

// A line of --list: port, USB path and, after an identification, what the server said.
struct TListedServer
{
    TServerEntry Server;
    bool Identified = false; // an identification was tried
    bool Accepted = false;   // ... and the server was accepted
    std::string IdText{};    // ... and this is what it sent
};
std::string ListLine(const TListedServer& server, std::uint8_t lang);

// No server present (on port, when one was given).
std::string NoServerListedText(const std::string& port, std::uint8_t lang);
std::string WaitTimedOutText(unsigned seconds, std::uint8_t lang);
std::string WaitingForServerText(std::uint8_t lang);
std::string WaitingForUnplugText(std::uint8_t lang);
std::string NoFolderText(const std::filesystem::path& folder, std::uint8_t lang);
