#pragma once

#include "app/core/recentfiles.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The settings file: four lines ended by CR LF: the window's left edge, its top edge, "S" when
// the shutdown option is on (else empty), and the recent files joined with TAB. Its text is in
// the system's single-byte code page and is kept byte for byte.
struct TSettings
{
    std::optional<std::int32_t> Left; // absent when line 1 is not a valid integer
    std::optional<std::int32_t> Top;
    bool Shutdown = false;
    TRecentFiles RecentFiles;
};

// The largest settings file read; a real one is a few hundred bytes. A longer file is a bad
// file, read as a missing one.
inline constexpr std::size_t SettingsFileLimit = std::size_t{1024} * 1024;

// A whole line as an integer: optional leading blanks, an optional sign, then decimal digits
// within the signed 32-bit range, or hexadecimal digits (up to 32 bits) after "$", "x" or "0x" in
// either letter case. Anything else, the empty line included, is no integer.
std::optional<std::int32_t> ParseSettingsInt(std::string_view line);

// Reads the lines of a settings file; lines missing at its end read as empty.
TSettings ParseSettings(std::string_view content);
std::string FormatSettings(std::int32_t left, std::int32_t top, bool shutdown,
                           const TRecentFiles& recentFiles);

// Empty when the file cannot be opened or read, or is not a regular file (a FIFO or a device is
// never waited on). Of a file longer than SettingsFileLimit only the lines within the bound are
// read.
std::optional<TSettings> LoadSettingsFile(const std::filesystem::path& path);

// Replaces the file as a whole: a temporary file beside it is renamed over it, so a failed write
// leaves the old file intact. Creates the folder when needed. Only a regular file (also through a
// link) is replaced; a name that leads to anything else is left alone, and so is a file that
// cannot be read whole (not readable, or longer than SettingsFileLimit), whose settings were
// never loaded. Returns false on failure.
bool SaveSettingsFile(const std::filesystem::path& path, const std::string& content);
