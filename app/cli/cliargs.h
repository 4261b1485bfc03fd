#pragma once

#include <QStringList>
#include <cstdint>
#include <string>

// The command line of srvdiag-cli: OUTPUT [--shutdown] [--lang en|nl].
struct TCliArgs
{
    std::string Output;         // the dump file
    bool Shutdown = false;      // send the shutdown command before reading
    std::uint8_t LangIndex = 0; // 0 English, 1 Nederlands
};

// What parsing decided.
struct TCliParse
{
    enum TAction : std::uint8_t { caRun, caHelp, caVersion, caError };
    TAction Action = caRun;
    TCliArgs Args;
    QString Text; // the help or version text for stdout, or the error message for stderr
};

// Parses the program's arguments (the first is the program itself). The QCoreApplication must
// exist, for the program name and version.
TCliParse ParseCliArgs(const QStringList& arguments);

// Exit status for bad arguments (sysexits' EX_USAGE): 1 to 3 are the read-out's results.
inline constexpr int ExitUsage = 64;
