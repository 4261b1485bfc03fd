#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// The settings file: four lines ended by CR LF: the window's left edge, its top edge, "S" when
// the shutdown option is on (else empty), and the recent files joined with TAB.
struct TSettings
{
    std::optional<std::int32_t> Left; // absent when line 1 is not a valid integer
    std::optional<std::int32_t> Top;
    bool Shutdown = false;
    QStringList RecentFiles;
};

// A whole line as an integer: optional leading blanks, an optional sign, then decimal digits
// within the signed 32-bit range, or hexadecimal digits (up to 32 bits) after "$", "x" or "0x" in
// either letter case. Anything else, the empty line included, is no integer.
std::optional<std::int32_t> ParseSettingsInt(const QByteArray& line);

// Reads the lines of a settings file; lines missing at its end read as empty.
TSettings ParseSettings(const QByteArray& content);
QByteArray FormatSettings(std::int32_t left, std::int32_t top, bool shutdown,
                          const QStringList& recentFiles);

// Empty when the file cannot be opened or read.
std::optional<TSettings> LoadSettingsFile(const QString& path);

// Replaces the file as a whole: a temporary file beside it is renamed over it, so a failed write
// leaves the old file intact. Creates the folder when needed. Returns false on failure.
bool SaveSettingsFile(const QString& path, const QByteArray& content);
