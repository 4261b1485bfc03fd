// Fuzz target: the settings file loader. Any bytes of any length are a settings file; two
// leading marker pairs grow the input into the sizes a fuzzer would not reach by itself (a line
// of a megabyte, ten thousand names). Beyond no crash and no sanitizer report, it checks that
// what was read is written back to a file that reads the same, and that the loader reads a file
// exactly as the parser reads its bytes.

#include "app/recentfiles.h"
#include "app/settingsfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

constexpr std::uint8_t LongLineMarker = 0xFF;
constexpr std::uint8_t ManyNamesMarker = 0xFE;
constexpr qsizetype Megabyte = 1 << 20;
constexpr int ManyNames = 10000;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

QByteArray Expand(const std::uint8_t* data, std::size_t size)
{
    const bool marked = size > 2 && data[0] == data[1];
    const QByteArray rest(reinterpret_cast<const char*>(data + 2),
                          static_cast<qsizetype>(size > 2 ? size - 2 : 0));
    if (marked && data[0] == LongLineMarker) {
        // Three short lines, then the rest repeated to a megabyte as the fourth.
        QByteArray line;
        line.reserve(Megabyte);
        while (line.size() < Megabyte)
            line += rest;
        return "1\r\n2\r\nS\r\n" + line + "\r\n";
    }
    if (marked && data[0] == ManyNamesMarker) {
        QByteArray names;
        for (int i = 0; i < ManyNames; ++i)
            names += (i > 0 ? "\t" : "") + rest + QByteArray::number(i);
        return "1\r\n2\r\n\r\n" + names + "\r\n";
    }
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

QString ScratchFile()
{
    return QDir::tempPath() + "/srvdiag_fuzz_settings_" + QString::number(::getpid()) + ".INI";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray content = Expand(data, size);
    const TSettings read = ParseSettings(content);
    for (const QString& name : read.RecentFiles)
        if (name.isEmpty() || name.contains('\t') || name.contains('\r') || name.contains('\n'))
            Fail("a recent-file name is empty or holds a separator");

    // Written back and read again, the settings are the same.
    const QByteArray written = FormatSettings(read.Left.value_or(192), read.Top.value_or(107),
                                              read.Shutdown, read.RecentFiles);
    const TSettings again = ParseSettings(written);
    if ((read.Left && again.Left != read.Left) || (read.Top && again.Top != read.Top))
        Fail("position changed on the way through the file");
    if (again.Shutdown != read.Shutdown)
        Fail("shutdown option changed on the way through the file");
    if (again.RecentFiles != read.RecentFiles)
        Fail("recent files changed on the way through the file");
    if (written.count("\r\n") != 4 || !written.endsWith("\r\n"))
        Fail("the written file is not four CR LF lines");

    // The loader reads a file as the parser reads its bytes. Grown inputs skip this: the parser
    // above has read them, and the file round trip would take most of the run.
    if (content.size() > static_cast<qsizetype>(size))
        return 0;
    const QString path = ScratchFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return 0;
    }
    const std::optional<TSettings> loaded = LoadSettingsFile(path);
    QFile::remove(path);
    if (!loaded || loaded->Left != read.Left || loaded->Top != read.Top ||
        loaded->Shutdown != read.Shutdown || loaded->RecentFiles != read.RecentFiles)
        Fail("the loader reads the file differently from its bytes");
    return 0;
}
