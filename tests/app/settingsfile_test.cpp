#include "app/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SettingsFile, IntegerRule)
{
    const struct
    {
        const char* Line;
        std::optional<std::int32_t> Value;
    } cases[] = {
        {"192", 192},
        {"  -15", -15},
        {"+7", 7},
        {"$1F", 31},
        {"x10", 16},
        {"0X10", 16},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"$100000000", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"12 ", std::nullopt},
        {"abc", std::nullopt},
        {"1a", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSettingsInt(c.Line), c.Value) << '"' << c.Line << '"';
}

TEST(SettingsFile, BadFirstLineStillReadsTheRest)
{
    const TSettings s = ParseSettings("abc\r\n120\r\nxSx\r\nA\tB\r\n");
    EXPECT_FALSE(s.Left);
    EXPECT_EQ(s.Top, 120);
    EXPECT_TRUE(s.Shutdown);
    EXPECT_EQ(s.RecentFiles, (QStringList{"A", "B"}));
}

TEST(SettingsFile, ShortFilesReadMissingLinesAsEmpty)
{
    const TSettings s = ParseSettings("10\r\n20\r\n");
    EXPECT_EQ(s.Left, 10);
    EXPECT_EQ(s.Top, 20);
    EXPECT_FALSE(s.Shutdown);
    EXPECT_TRUE(s.RecentFiles.isEmpty());
    EXPECT_FALSE(ParseSettings("1\n2\ns\n").Shutdown); // capital S only
}

TEST(SettingsFile, TabsAndTwelveNames)
{
    EXPECT_EQ(ParseSettings("1\r\n2\r\n\r\nA\t\tB\t\r\n").RecentFiles, (QStringList{"A", "B"}));
    QByteArray names;
    for (int i = 1; i <= 12; ++i)
        names += (i > 1 ? "\t" : "") + QByteArray::number(i);
    EXPECT_EQ(ParseSettings("1\r\n2\r\n\r\n" + names + "\r\n").RecentFiles.size(), 12);
}

TEST(SettingsFile, FormatWritesFourCrLfLines)
{
    EXPECT_EQ(FormatSettings(-5, 107, true, {"A", "B"}), QByteArray("-5\r\n107\r\nS\r\nA\tB\r\n"));
    EXPECT_EQ(FormatSettings(192, 107, false, {}), QByteArray("192\r\n107\r\n\r\n\r\n"));
}

TEST(SettingsFile, SaveReplacesTheWholeFileAndLoadReadsItBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/srvdiag.INI"); // folder created on save
    EXPECT_FALSE(LoadSettingsFile(path));
    ASSERT_TRUE(SaveSettingsFile(path, FormatSettings(1, 2, true, {"long name", "B"})));
    ASSERT_TRUE(SaveSettingsFile(path, FormatSettings(3, 4, false, {"C"})));
    const std::optional<TSettings> s = LoadSettingsFile(path);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Left, 3);
    EXPECT_FALSE(s->Shutdown);
    EXPECT_EQ(s->RecentFiles, QStringList{"C"});
    EXPECT_EQ(QDir(dir.filePath("sub")).entryList(QDir::Files), QStringList{"srvdiag.INI"});
}

TEST(SettingsFile, FailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("srvdiag.INI");
    ASSERT_TRUE(SaveSettingsFile(path, FormatSettings(1, 2, false, {"keep"})));
    // The temporary file cannot be created when its name is taken by a folder it cannot
    // replace; simplest reliable failure: the settings path itself is a folder.
    const QString folderPath = dir.filePath("folder.INI");
    ASSERT_TRUE(QDir().mkpath(folderPath + "/inside"));
    EXPECT_FALSE(SaveSettingsFile(folderPath, "x"));
    EXPECT_TRUE(QFile::exists(folderPath + "/inside"));
    EXPECT_EQ(LoadSettingsFile(path)->RecentFiles, QStringList{"keep"});
}
