#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Which trace srvdiag-cli explain reads when it is given none: the most recent one the window
// (srvdiag) or the command line (srvdiag-cli) wrote, wherever each keeps it: beside the program
// or in the user's data folder.

struct TTraceFile
{
    std::filesystem::path Path;
    bool Window = false; // written by the window, not the command line
};

// The traces the window and the command line may have written, for the command line at
// cliProgram and the window beside it: where each writes now, and both programs' traces in the
// user's data folders (an installed copy's).
std::vector<TTraceFile> TraceFilesBeside(const std::filesystem::path& cliProgram);

// The most recently written of traces that exist as regular files; the first of those written
// at the same time; none when none exists.
std::optional<TTraceFile> NewestTrace(const std::vector<TTraceFile>& traces);

// The trace for explain: given, when one was given; else the newest of the window's and the
// command line's, which it names on err in language lang; else fallback (the command line's own,
// which does not exist).
std::filesystem::path ExplainTraceFor(const std::filesystem::path& given,
                                      const std::filesystem::path& cliProgram,
                                      const std::filesystem::path& fallback, std::uint8_t lang,
                                      std::FILE* err);
