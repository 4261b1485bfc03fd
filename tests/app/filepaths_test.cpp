#include "app/core/filepaths.h"
#include "app/core/userfolders.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <unistd.h>

TEST(FilePaths, ThreeLetterExtensionIsReplacedOtherwiseIniIsAppended)
{
    EXPECT_EQ(IniPathFor("/opt/tools/tool.exe"), "/opt/tools/tool.INI");
    EXPECT_EQ(IniPathFor("/usr/local/bin/srvdiag"), "/usr/local/bin/srvdiag.INI");
    EXPECT_EQ(IniPathFor("/home/u/v1.2/srvdiag"), "/home/u/v1.2/srvdiag.INI"); // dot in folder
    EXPECT_EQ(IniPathFor("/home/u/srvdiag.x86"), "/home/u/srvdiag.INI");
    EXPECT_EQ(IniPathFor("/home/u/srvdiag.bin2"), "/home/u/srvdiag.bin2.INI");
    EXPECT_EQ(TracePathFor("/opt/tools/tool.INI"), "/opt/tools/tool.ERR");
    EXPECT_EQ(TracePathFor("/usr/local/bin/srvdiag.INI"), "/usr/local/bin/srvdiag.ERR");
}

TEST(FilePaths, WritableProgramFolderKeepsBothFilesBesideTheProgram)
{
    const TFilePaths paths = ResolveFilePaths("/opt/sd/srvdiag", true, "/c", "/d");
    EXPECT_EQ(paths.IniPath, "/opt/sd/srvdiag.INI");
    EXPECT_EQ(paths.TracePath, "/opt/sd/srvdiag.ERR");
}

TEST(FilePaths, InstalledProgramUsesTheUsersConfigAndDataFolders)
{
    const TFilePaths paths = ResolveFilePaths("/usr/bin/srvdiag", false, "/home/u/.config/srvdiag",
                                              "/home/u/.local/share/srvdiag");
    EXPECT_EQ(paths.IniPath, "/home/u/.config/srvdiag/srvdiag.INI");
    EXPECT_EQ(paths.TracePath, "/home/u/.local/share/srvdiag/srvdiag.ERR");
}

// An unknown user folder (empty) gives no file rather than one in the current folder.
TEST(FilePaths, UnknownUserFolderGivesNoFileInsteadOfARelativeOne)
{
    const TFilePaths paths = ResolveFilePaths("/usr/bin/srvdiag", false, "", "relative");
    EXPECT_TRUE(paths.IniPath.empty());
    EXPECT_TRUE(paths.TracePath.empty());
}

// The user's folders follow the XDG variables when they hold absolute paths, else the home folder.
TEST(FilePaths, UserFoldersFollowXdgOrHome)
{
    const auto keep = [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto home = keep("HOME"), config = keep("XDG_CONFIG_HOME"), data = keep("XDG_DATA_HOME");
    setenv("HOME", "/home/u", 1);
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(UserConfigFolder("srvdiag"), "/cfg/srvdiag");
    EXPECT_EQ(UserDataFolder("srvdiag"), "/home/u/.local/share/srvdiag");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserConfigFolder("srvdiag-cli"), "/home/u/.config/srvdiag-cli");
    // Without a usable HOME the password database gives the home folder; never a folder
    // relative to the current one.
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    const std::filesystem::path own = user->pw_dir;
    for (const char* broken : {"", "relative/home"}) {
        setenv("HOME", broken, 1);
        EXPECT_EQ(UserConfigFolder("srvdiag"), own / ".config/srvdiag") << broken;
    }
    unsetenv("HOME");
    EXPECT_EQ(UserDataFolder("srvdiag"), own / ".local/share/srvdiag");
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    };
    restore("HOME", home);
    restore("XDG_CONFIG_HOME", config);
    restore("XDG_DATA_HOME", data);
}
