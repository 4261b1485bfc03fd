// Fuzz target: the settings file loader. Any bytes of any length are a settings file; two
// leading marker pairs grow the input into the sizes a fuzzer would not reach by itself (a line
// of a megabyte, ten thousand names). Beyond no crash and no sanitizer report, it checks that
// what was read is written back to a file that reads the same, and that the loader reads a file
// exactly as the parser reads its bytes.

#include "app/core/recentfiles.h"
#include "app/core/settingsfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr std::uint8_t LongLineMarker = 0xFF;
constexpr std::uint8_t ManyNamesMarker = 0xFE;
constexpr std::size_t Megabyte = 1 << 20;
constexpr int ManyNames = 10000;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

std::string Expand(const std::uint8_t* data, std::size_t size)
{
    const bool marked = size > 2 && data[0] == data[1];
    const std::string rest(reinterpret_cast<const char*>(data + 2), size > 2 ? size - 2 : 0);
    if (marked && data[0] == LongLineMarker && !rest.empty()) {
        // Three short lines, then the rest repeated to a megabyte as the fourth.
        std::string line;
        line.reserve(Megabyte + rest.size());
        while (line.size() < Megabyte)
            line += rest;
        return "1\r\n2\r\nS\r\n" + line + "\r\n";
    }
    if (marked && data[0] == ManyNamesMarker) {
        std::string names;
        for (int i = 0; i < ManyNames; ++i)
            names += (i > 0 ? "\t" : "") + rest + std::to_string(i);
        return "1\r\n2\r\n\r\n" + names + "\r\n";
    }
    return std::string(reinterpret_cast<const char*>(data), size);
}

std::filesystem::path ScratchFile()
{
    return std::filesystem::temp_directory_path() /
           ("srvdiag_fuzz_settings_" + std::to_string(::getpid()) + ".INI");
}

std::size_t CountOf(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string content = Expand(data, size);
    const TSettings read = ParseSettings(content);
    for (const std::string& name : read.RecentFiles)
        if (name.empty() || name.find_first_of("\t\r\n") != std::string::npos)
            Fail("a recent-file name is empty or holds a separator");

    // Written back and read again, the settings are the same.
    const std::string written = FormatSettings(read.Left.value_or(192), read.Top.value_or(107),
                                               read.Shutdown, read.RecentFiles);
    const TSettings again = ParseSettings(written);
    if ((read.Left && again.Left != read.Left) || (read.Top && again.Top != read.Top))
        Fail("position changed on the way through the file");
    if (again.Shutdown != read.Shutdown)
        Fail("shutdown option changed on the way through the file");
    if (again.RecentFiles != read.RecentFiles)
        Fail("recent files changed on the way through the file");
    if (CountOf(written, "\r\n") != 4 || !written.ends_with("\r\n"))
        Fail("the written file is not four CR LF lines");

    // The loader reads a file as the parser reads its bytes. Grown inputs skip this: the parser
    // above has read them, and the file round trip would take most of the run. A file past the
    // size limit is a bad file by design.
    if (content.size() > size || content.size() > SettingsFileLimit)
        return 0;
    const std::filesystem::path path = ScratchFile();
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        if (!file.write(content.data(), static_cast<std::streamsize>(content.size())) ||
            !(file.close(), file))
            return 0;
    }
    const std::optional<TSettings> loaded = LoadSettingsFile(path);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (!loaded || loaded->Left != read.Left || loaded->Top != read.Top ||
        loaded->Shutdown != read.Shutdown || loaded->RecentFiles != read.RecentFiles)
        Fail("the loader reads the file differently from its bytes");
    return 0;
}
