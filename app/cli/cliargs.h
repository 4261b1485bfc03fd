#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The command line of srvdiag-cli: OUTPUT [--shutdown] [--lang en|nl] [-q] [--json] [--partial]
// [-v], with the choice of the server and the reading of many (--list, --port, --repeat,
// --wait), or explain.
struct TCliArgs
{
    std::filesystem::path Output; // the dump file, its name byte for byte as given
    bool Shutdown = false;        // send the shutdown command before reading
    std::uint8_t LangIndex = 0;   // 0 English, 1 Nederlands
    bool LangGiven = false;       // --lang was given; else the locale decides
    bool Quiet = false;           // only errors on standard error, no progress
    bool Json = false;            // one JSON object on standard output at the end
    bool Partial = false;         // an interrupted read-out keeps the blocks read so far
    bool Verbose = false;         // the live protocol log on stderr

    // ---- Choosing the server and reading many -----------------------------------------------
    bool List = false;           // list the present servers instead of reading one (no OUTPUT)
    bool Identify = false;       // with List: identify each one and show its identification text
    std::string Port;            // read the server on this port; empty: the first one found
    bool Repeat = false;         // read one server after another
    bool Wait = false;           // wait for a server to appear instead of failing at once
    unsigned TimeoutSeconds = 0; // give up a wait for a server after this long; 0: never
    unsigned Count = 0;          // with Repeat: stop after this many good read-outs; 0: never
};

// srvdiag-cli explain [TRACE] [--json].
struct TExplainArgs
{
    std::filesystem::path Trace; // empty: the program's own trace file
    bool Json = false;
};

// What parsing decided.
struct TCliParse
{
    enum TAction : std::uint8_t { caRun, caHelp, caVersion, caError, caExplain };
    TAction Action = caRun;
    TCliArgs Args;
    TExplainArgs Explain; // for caExplain (Args.LangIndex holds its language)
    std::string Text;     // the help or version text for stdout, or the error message for stderr
};

// Parses the program's arguments (the first is the program itself). The help text is wrapped at
// helpWidth columns (0: not wrapped).
TCliParse ParseCliArgs(const std::vector<std::string>& arguments, const std::string& version,
                       std::size_t helpWidth = 0);

// Exit statuses of a read-out, one for each of the worker's stage results.
inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFileError = 1;
inline constexpr int ExitNotFound = 2;
inline constexpr int ExitCommError = 3;
// Exit status for bad arguments (sysexits' EX_USAGE): 1 to 4 are the read-out's results.
inline constexpr int ExitUsage = 64;
// Exit status when the server was found but its port could not be opened: the user may not open
// it, or another program holds it.
inline constexpr int ExitPortUnavailable = 4;
// Exit status after Ctrl+C (128 + SIGINT, as a shell reports a program the signal ended).
inline constexpr int ExitInterrupted = 130;
