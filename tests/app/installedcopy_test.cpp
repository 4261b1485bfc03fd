#include "app/core/installedcopy.h"
#include "tests/support/scratchdir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(InstalledCopy, OnlyThePrefixsProgramFolderIsAnInstalledCopy)
{
    struct TCase
    {
        const char* Dir;
        const char* Prefix;
        bool Installed;
    };
    const TCase cases[] = {
        {"/usr/bin", "/usr", true},
        {"/usr/bin/", "/usr", true},
        {"/usr/./bin", "/usr/", true},
        {"/usr/local/bin", "/usr/local", true},
        {"/usr/sbin/../bin", "/usr", true},
        // Copies in folders of their own, even below a system prefix.
        {"/usr/local/srvdiag-1.0", "/usr/local", false},
        {"/usr/local/src/srvdiag/build/app", "/usr/local", false},
        {"/usr/bin/srvdiag", "/usr", false},
        {"/opt/srvdiag", "/usr", false},
        {"/home/tech/srvdiag/bin", "/usr", false},
        {"/usr", "/usr", false},
        {"/usr/local/bin", "/usr", false},
        {"/bin2", "/", false},
        // No prefix or no folder is never an installed copy.
        {"/usr/bin", "", false},
        {"", "/usr", false},
        {"usr/bin", "usr", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(IsInstalledCopy(c.Dir, c.Prefix), c.Installed) << c.Dir << " under " << c.Prefix;
}

TEST(InstalledCopy, AFolderLinkedToTheProgramFolderCountsAsIt)
{
    const TScratchDir scratch;
    const fs::path root = scratch.Path();
    fs::create_directories(root / "prefix" / "bin");
    fs::create_directory_symlink(root / "prefix" / "bin", root / "bin");
    EXPECT_TRUE(IsInstalledCopy(root / "bin", root / "prefix"));
    EXPECT_TRUE(IsInstalledCopy("/usr/bin"));
    EXPECT_TRUE(IsInstalledCopy("/usr/local/bin"));
    EXPECT_FALSE(IsInstalledCopy(root / "prefix"));
}
