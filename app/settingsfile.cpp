#include "app/settingsfile.h"

#include "app/recentfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <limits>

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

QList<QByteArray> SplitLines(const QByteArray& content)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < content.size(); ++i) {
        if (content[i] != '\r' && content[i] != '\n')
            continue;
        lines.append(content.mid(start, i - start));
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < content.size())
        lines.append(content.mid(start));
    return lines;
}

} // namespace

std::optional<std::int32_t> ParseSettingsInt(const QByteArray& line)
{
    qsizetype i = 0;
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

TSettings ParseSettings(const QByteArray& content)
{
    QList<QByteArray> lines = SplitLines(content);
    while (lines.size() < 4)
        lines.append(QByteArray());
    TSettings settings;
    settings.Left = ParseSettingsInt(lines[0]);
    settings.Top = ParseSettingsInt(lines[1]);
    settings.Shutdown = lines[2].contains('S');
    StrToList(settings.RecentFiles, QString::fromLocal8Bit(lines[3]));
    return settings;
}

QByteArray FormatSettings(std::int32_t left, std::int32_t top, bool shutdown,
                          const QStringList& recentFiles)
{
    QByteArray content;
    content += QByteArray::number(left) + "\r\n";
    content += QByteArray::number(top) + "\r\n";
    content += QByteArray(shutdown ? "S" : "") + "\r\n";
    content += ListToStr(recentFiles).toLocal8Bit() + "\r\n";
    return content;
}

std::optional<TSettings> LoadSettingsFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return ParseSettings(content);
}

bool SaveSettingsFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // commit() does not report a flush that failed (a full disk leaves a short temporary file,
    // which it then renames over the old one), so flush first and give up on its failure.
    if (file.write(content) != content.size() || !file.flush())
        return false; // the destructor drops the temporary file; the old settings stay
    return file.commit();
}
