#pragma once

#include "app/cli/cliargs.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

class TDiscoveryRecord;
struct TFileReplacement;
struct TRunFacts;

// What came of one read-out, as the command line reports it: a line on standard error and, with
// --json, one object on standard output.
struct TReadReport
{
    int ExitCode = 0;
    std::string Outcome;     // "success", "output-file-error", "server-not-found",
                             // "port-unavailable", "communication-error", "interrupted"
    std::string Message;     // the line for standard error, without the program's name
    std::string File;        // OUTPUT as given
    std::uint64_t Bytes = 0; // bytes this run left in File
    std::string ServerId;
    std::string Port;
    std::chrono::milliseconds ConnectTime{0}, ReadTime{0};
    std::string Stage; // where a failure stopped, "" on success
    std::optional<int> Block;
    std::string TracePath, TraceError; // the trace written after a failed attempt, or why not
    bool TraceDue = false;
    bool NothingExchanged = false; // the failure came before any byte went to a server: the
                                   // trace holds nothing to explain
    std::string Sha256;            // of the dump this run left in File; empty when none
    unsigned ReadOut = 0;          // the read-out's number under --repeat; 0 for a single one
};

// The version of the --json object's layout, raised when a field changes its meaning or goes.
inline constexpr int ReportSchemaVersion = 1;

// The identification text as a person reads it: its first byte, 0x11 for a server, is not a
// character and shows only when it is something else; other bytes outside printable ASCII as
// <0xNN>. Quoted, it stands in double quotes and a double quote inside is written <0x22>.
std::string ReadableIdText(const std::string& idText, bool quoted);

// The command that explains a trace: plain "srvdiag-cli explain" for the program's own trace
// (explain takes the most recent one), else with the trace's name, quoted where a shell needs it.
std::string ExplainCommandText(const std::string& tracePath, bool ownTrace);

// The report of a read-out whose OUTPUT was refused before connecting, with the system's reason.
TReadReport OutputRefusedReport(const TCliArgs& args, const std::string& reason);

// Moves the new dump over OUTPUT (a success; with --partial also an interrupted read-out) or
// removes it, so that OUTPUT holds a complete new dump or what it held before, and tells what
// came of the read-out. A dump that could not be moved over OUTPUT is kept in the new file,
// which the message names.
TReadReport ConcludeReadOut(const TRunFacts& facts, const TCliArgs& args,
                            const TFileReplacement& dump, const TDiscoveryRecord& discovery,
                            const std::filesystem::path& tracePath);

// Prints the report: its line on err (a success's only without --quiet), the trace's line after
// a failure, and the JSON object on out with --json.
void PrintReport(const TReadReport& report, const TCliArgs& args, std::FILE* err, std::FILE* out);

// The report as one JSON object (no line end).
std::string ReportJson(const TReadReport& report);
