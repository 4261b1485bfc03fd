#include "app/filepaths.h"

#include <gtest/gtest.h>

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
