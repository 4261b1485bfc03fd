#include "app/core/settingsfile.h"

#include "app/core/platformfiles.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace {

int DigitValue(char ch, int base)
{
    int value = 99;
    if (ch >= '0' && ch <= '9')
        value = ch - '0';
    else if (ch >= 'a' && ch <= 'f')
        value = ch - 'a' + 10;
    else if (ch >= 'A' && ch <= 'F')
        value = ch - 'A' + 10;
    return value < base ? value : -1;
}

std::vector<std::string_view> SplitLines(std::string_view content)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] != '\r' && content[i] != '\n')
            continue;
        lines.push_back(content.substr(start, i - start));
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < content.size())
        lines.push_back(content.substr(start));
    return lines;
}

} // namespace

std::optional<std::int32_t> ParseSettingsInt(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && line[i] == ' ')
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < line.size() && (line[i] == '$' || line[i] == 'x' || line[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < line.size() && line[i] == '0' &&
               (line[i + 1] == 'x' || line[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == line.size())
        return std::nullopt;
    // Decimal allows up to 2^31 (for the negative end), hexadecimal the full 32 bits.
    const std::uint64_t limit =
        base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (; i < line.size(); ++i) {
        const int digit = DigitValue(line[i], base);
        if (digit < 0)
            return std::nullopt;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > limit)
            return std::nullopt;
    }
    // Two's complement wrap: hexadecimal FFFFFFFF is -1, as a 32-bit integer reads it.
    const auto bits = static_cast<std::uint32_t>(negative ? (0 - value) : value);
    return static_cast<std::int32_t>(bits);
}

TSettings ParseSettings(std::string_view content)
{
    std::vector<std::string_view> lines = SplitLines(content);
    lines.resize(std::max<std::size_t>(lines.size(), 4));
    TSettings settings;
    settings.Left = ParseSettingsInt(lines[0]);
    settings.Top = ParseSettingsInt(lines[1]);
    settings.Shutdown = lines[2].find('S') != std::string_view::npos;
    StrToList(settings.RecentFiles, std::string(lines[3]));
    return settings;
}

std::string FormatSettings(std::int32_t left, std::int32_t top, bool shutdown,
                           const TRecentFiles& recentFiles)
{
    std::string content;
    content += std::to_string(left) + "\r\n";
    content += std::to_string(top) + "\r\n";
    content += std::string(shutdown ? "S" : "") + "\r\n";
    content += ListToStr(recentFiles) + "\r\n";
    return content;
}

std::optional<TSettings> LoadSettingsFile(const std::filesystem::path& path)
{
    std::optional<TFileStart> start = ReadRegularFileStart(path, SettingsFileLimit);
    if (!start)
        return std::nullopt;
    std::string_view content = start->Content;
    if (!start->Whole) {
        // Only the lines that end within the bound are read; the one it cuts, and every line
        // after it, read as missing.
        const std::size_t lastEnd = content.find_last_of("\r\n");
        content =
            lastEnd == std::string_view::npos ? std::string_view() : content.substr(0, lastEnd);
    }
    return ParseSettings(content);
}

bool SaveSettingsFile(const std::filesystem::path& path, const std::string& content)
{
    if (path.empty()) // no folder to keep it in
        return false;
    // A file that is there but cannot be read whole (the user may not read it, it is longer
    // than the bound) holds settings that were never loaded: replacing it would lose them.
    std::error_code failed;
    const std::filesystem::file_status status = std::filesystem::status(path, failed);
    if (status.type() != std::filesystem::file_type::not_found) {
        if (failed)
            return false;
        const std::optional<TFileStart> start = ReadRegularFileStart(path, SettingsFileLimit);
        if (!start || !start->Whole)
            return false;
    }
    return ReplaceRegularFile(path, content);
}
