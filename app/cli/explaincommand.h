#pragma once

#include "app/cli/verdicttexts.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

// srvdiag-cli explain: a trace file read back and told step by step, with what went wrong and
// what usually causes it, as text or as one JSON object.

// Exit status when the trace cannot be read, and when it is no trace of this tool (sysexits'
// EX_NOINPUT and EX_DATAERR).
inline constexpr int ExitNoTrace = 66;
inline constexpr int ExitNotATrace = 65;

// The explanation as text: one line per step, then the result and its usual cause.
std::string ExplainText(const TTraceWalk& walk, std::uint8_t langIndex);
// The explanation as one JSON object (one line, ending in a line feed).
std::string ExplainJson(const TTraceWalk& walk, const std::string& traceName,
                        std::uint8_t langIndex);

// Reads trace, writes the explanation to out and any error to err. Returns 0, ExitNoTrace or
// ExitNotATrace.
int RunExplain(const std::filesystem::path& trace, bool json, std::uint8_t langIndex,
               std::FILE* out, std::FILE* err);
