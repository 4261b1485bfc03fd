#pragma once

#include "app/cli/serverchoice.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The command line's own texts for listing servers and reading many, in English (0) and Dutch
// (1). Each is one line without its line end; those that start with "srvdiag-cli: " are printed
// as they are, the others go into a report (clireport.h), which adds it.

// The start of a --repeat read-out's report line: "read-out 2, server K7Q2[9: ".
std::string RunPrefixText(unsigned run, const std::string& id, std::uint8_t lang);
// Where a failed read-out's trace went, or why it could not be written there.
std::string TraceText(const std::string& path, const std::string& error, std::uint8_t lang);
// "server not found" for a --port on which no server is, with the ports of the servers present
// (a server without a port as "(no port)").
std::string NoServerOnPortText(const std::string& port, const std::vector<TServerEntry>& present,
                               std::uint8_t lang);

// A line of --list: port, USB path and, after an identification, what the server said.
struct TListedServer
{
    TServerEntry Server;
    bool Identified = false; // an identification was tried
    bool Accepted = false;   // ... and the server was accepted
    std::string IdText{};    // ... and this is what it sent
};
std::string ListLine(const TListedServer& server, std::uint8_t lang);

// No server present (on port, when one was given, with the servers present elsewhere).
std::string NoServerListedText(const std::string& port, const std::vector<TServerEntry>& present,
                               std::uint8_t lang);
// The end of a --repeat run: how many servers were read and how many read-outs failed.
std::string RepeatSummaryText(unsigned read, unsigned failed, std::uint8_t lang);
std::string WaitTimedOutText(unsigned seconds, std::uint8_t lang); // for a report
std::string WaitingForServerText(std::uint8_t lang);
std::string WaitingForUnplugText(std::uint8_t lang);
std::string NoFolderText(const std::filesystem::path& folder, std::uint8_t lang);
