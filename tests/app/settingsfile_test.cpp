#include "app/core/settingsfile.h"
#include "tests/support/scratchdir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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
    EXPECT_EQ(s.RecentFiles, (TRecentFiles{"A", "B"}));
}

TEST(SettingsFile, ShortFilesReadMissingLinesAsEmpty)
{
    const TSettings s = ParseSettings("10\r\n20\r\n");
    EXPECT_EQ(s.Left, 10);
    EXPECT_EQ(s.Top, 20);
    EXPECT_FALSE(s.Shutdown);
    EXPECT_TRUE(s.RecentFiles.empty());
    EXPECT_FALSE(ParseSettings("1\n2\ns\n").Shutdown); // capital S only
}

TEST(SettingsFile, TabsAndTwelveNames)
{
    EXPECT_EQ(ParseSettings("1\r\n2\r\n\r\nA\t\tB\t\r\n").RecentFiles, (TRecentFiles{"A", "B"}));
    std::string names;
    for (int i = 1; i <= 12; ++i)
        names += (i > 1 ? "\t" : "") + std::to_string(i);
    EXPECT_EQ(ParseSettings("1\r\n2\r\n\r\n" + names + "\r\n").RecentFiles.size(), 12U);
}

TEST(SettingsFile, FormatWritesFourCrLfLines)
{
    EXPECT_EQ(FormatSettings(-5, 107, true, {"A", "B"}), std::string("-5\r\n107\r\nS\r\nA\tB\r\n"));
    EXPECT_EQ(FormatSettings(192, 107, false, {}), std::string("192\r\n107\r\n\r\n\r\n"));
}

TEST(SettingsFile, SaveReplacesTheWholeFileAndLoadReadsItBack)
{
    TScratchDir dir;
    const auto path = dir.File("sub/srvdiag.INI"); // folder created on save
    EXPECT_FALSE(LoadSettingsFile(path));
    ASSERT_TRUE(SaveSettingsFile(path, FormatSettings(1, 2, true, {"long name", "B"})));
    ASSERT_TRUE(SaveSettingsFile(path, FormatSettings(3, 4, false, {"C"})));
    const std::optional<TSettings> s = LoadSettingsFile(path);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Left, 3);
    EXPECT_FALSE(s->Shutdown);
    EXPECT_EQ(s->RecentFiles, TRecentFiles{"C"});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("sub")), {}), 1);
}

TEST(SettingsFile, FailedSaveKeepsTheOldFile)
{
    TScratchDir dir;
    const auto path = dir.File("srvdiag.INI");
    ASSERT_TRUE(SaveSettingsFile(path, FormatSettings(1, 2, false, {"keep"})));
    // The temporary file cannot be created when its name is taken by a folder it cannot
    // replace; simplest reliable failure: the settings path itself is a folder.
    const auto folderPath = dir.File("folder.INI");
    ASSERT_TRUE(std::filesystem::create_directories(folderPath / "inside"));
    EXPECT_FALSE(SaveSettingsFile(folderPath, "x"));
    EXPECT_TRUE(std::filesystem::exists(folderPath / "inside"));
    EXPECT_EQ(LoadSettingsFile(path)->RecentFiles, TRecentFiles{"keep"});
}

// A settings file that is not a regular file is never waited on or read without end: a FIFO
// without a writer and a link to /dev/zero read as a bad file (nothing applied), at once; of a
// file past the size limit only the lines within it are read.
TEST(SettingsFile, OnlyARegularFileOfBoundedSizeIsRead)
{
    TScratchDir dir;
    const auto fifo = dir.File("fifo.INI");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LoadSettingsFile(fifo));
    const auto zero = dir.File("zero.INI");
    std::filesystem::create_symlink("/dev/zero", zero);
    EXPECT_FALSE(LoadSettingsFile(zero));

    const auto big = dir.File("big.INI");
    WriteFile(big, "1\r\n2\r\nS\r\n" + std::string(SettingsFileLimit, 'a'));
    const std::optional<TSettings> cut = LoadSettingsFile(big);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->Left, 1);
    EXPECT_EQ(cut->Top, 2);
    EXPECT_TRUE(cut->Shutdown);
    EXPECT_TRUE(cut->RecentFiles.empty()) << "the line the bound cuts is not read";
    const auto linked = dir.File("linked.INI");
    WriteFile(dir.File("real"), "1\r\n2\r\nS\r\n" + std::string(1000, 'a'));
    std::filesystem::create_symlink(dir.File("real"), linked);
    EXPECT_EQ(LoadSettingsFile(linked)->Left, 1); // a link to a regular file is read
}

// Saving replaces only a regular file: through a link to one it replaces that file and keeps the
// link; a name that leads to a device, a FIFO or nowhere is left alone and the save fails.
TEST(SettingsFile, SaveReplacesOnlyARegularFile)
{
    TScratchDir dir;
    const auto real = dir.File("real.INI");
    WriteFile(real, "old");
    const auto link = dir.File("link.INI");
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(SaveSettingsFile(link, "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "new");

    const auto device = dir.File("null.INI");
    std::filesystem::create_symlink("/dev/null", device);
    EXPECT_FALSE(SaveSettingsFile(device, "x"));
    EXPECT_TRUE(std::filesystem::is_symlink(device));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    const auto fifo = dir.File("fifo.INI");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(SaveSettingsFile(fifo, "x"));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4);
}

// The settings file is in the system's single-byte code page: names that are not valid UTF-8
// come back byte for byte.
TEST(SettingsFile, NamesAreKeptByteForByte)
{
    TScratchDir dir;
    const auto path = dir.File("srvdiag.INI");
    const TRecentFiles names{"caf\xe9.dmp", "/d/\xff\xfe.bin"};
    ASSERT_TRUE(SaveSettingsFile(path, FormatSettings(1, 2, false, names)));
    EXPECT_EQ(ReadFile(path), "1\r\n2\r\n\r\ncaf\xe9.dmp\t/d/\xff\xfe.bin\r\n");
    EXPECT_EQ(LoadSettingsFile(path)->RecentFiles, names);
}

// A settings file that could not be read whole is never replaced by the window's save, which
// would put defaults in place of what it holds: one too long to read, and (as another user) one
// the user may not read.
TEST(SettingsFile, FileThatCouldNotBeReadIsNotReplaced)
{
    TScratchDir dir;
    const auto longLine = dir.File("long.INI");
    const std::string content = std::string(50 * 1024 * 1024, '7') + "\r\n2\r\nS\r\nA\tB\r\n";
    WriteFile(longLine, content);
    const std::optional<TSettings> nothing = LoadSettingsFile(longLine);
    ASSERT_TRUE(nothing);
    EXPECT_FALSE(nothing->Left);
    EXPECT_FALSE(SaveSettingsFile(longLine, FormatSettings(192, 107, false, {})));
    EXPECT_EQ(std::filesystem::file_size(longLine), content.size());

    if (::geteuid() != 0)
        return; // the unreadable file needs a second user, made from root
    const auto unreadable = dir.File("unreadable.INI");
    WriteFile(unreadable, "5\r\n6\r\nS\r\nkeep\r\n");
    ASSERT_EQ(::chown(unreadable.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(unreadable.c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        if (LoadSettingsFile(unreadable))
            ::_exit(11);
        if (SaveSettingsFile(unreadable, FormatSettings(192, 107, false, {})))
            ::_exit(12);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(unreadable), "5\r\n6\r\nS\r\nkeep\r\n");
}
