#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The command line of srvdiag-cli: OUTPUT [--shutdown] [--lang en|nl], with the choice of the
// server and the reading of many (--list, --port, --repeat, --wait).
struct TCliArgs
{
    std::filesystem::path Output; // the dump file, its name byte for byte as given
    bool Shutdown = false;        // send the shutdown command before reading
    std::uint8_t LangIndex = 0;   // 0 English, 1 Nederlands

    // ---- Choosing the server and reading many -----------------------------------------------
    bool List = false;           // list the present servers instead of reading one (no OUTPUT)
    bool Identify = false;       // with List: identify each one and show its identification text
    std::string Port;            // read the server on this port; empty: the first one found
    bool Repeat = false;         // read one server after another
    bool Wait = false;           // wait for a server to appear instead of failing at once
    unsigned TimeoutSeconds = 0; // give up a wait for a server after this long; 0: never
    unsigned Count = 0;          // with Repeat: stop after this many good read-outs; 0: never
};

// What parsing decided.
struct TCliParse
{
    enum TAction : std::uint8_t { caRun, caHelp, caVersion, caError };
    TAction Action = caRun;
    TCliArgs Args;
    std::string Text; // the help or version text for stdout, or the error message for stderr
};

// Parses the program's arguments (the first is the program itself).
TCliParse ParseCliArgs(const std::vector<std::string>& arguments, const std::string& version);

// Exit status for bad arguments (sysexits' EX_USAGE): 1 to 3 are the read-out's results.
inline constexpr int ExitUsage = 64;
