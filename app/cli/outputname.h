#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

// The dump file's name as given may hold placeholders in its last part: {id} (the six
// identification characters that follow the fixed prefix), {n} (the number of the read-out,
// from 1) and {time} (the local time at the start of the read-out, file-name safe). Any other
// text, braces included, stays as it is.

// Why OUTPUT cannot be used as given; empty when it can. Placeholders are taken only in the file
// name, not in the folders (a folder must exist before the read-out starts); with repeat the
// name must hold one, or every read-out would replace the dump of the one before.
std::string OutputPatternProblem(const std::filesystem::path& pattern, bool repeat);

// The value of {id} for the identification text the worker read: its six characters after the
// fixed prefix, or "unknown" when the server did not send that many.
std::string IdPlaceholderValue(const std::string& serverIdText);

// pattern with its placeholders replaced.
std::filesystem::path ExpandOutputName(const std::filesystem::path& pattern, const std::string& id,
                                       unsigned run, const std::string& time);

// The highest {n} among the files in pattern's folder that pattern names, dumps and the traces
// beside them alike; 0 when there is none, or pattern holds no {n}. A new run's read-outs number
// on from there, so that no run replaces the dumps an earlier one left.
unsigned HighestRunPresent(const std::filesystem::path& pattern);

// The name of the trace kept beside a dump after a failed read-out: the dump's name with its
// extension replaced by ".ERR" (".ERR" added when it already ends so).
std::filesystem::path TraceNameBeside(const std::filesystem::path& dump);

// The local time as "YYYYMMDD-HHMMSS", safe in a file name on every system.
std::string FileNameTime(std::time_t when);
