#include "app/core/platformfiles.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::size_t FilesIn(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

} // namespace

// The new file lands on what a link leads to, with that file's permissions; the link stays.
TEST(FileReplacement, ReplacesTheFileALinkLeadsToKeepingItsPermissions)
{
    TScratchDir dir;
    const auto target = dir.File("dumps/out.DMP");
    std::filesystem::create_directory(dir.File("dumps"));
    WriteFileContent(target, "old");
    ::chmod(target.c_str(), 0640);
    const auto link = dir.File("link.DMP");
    std::filesystem::create_symlink(target, link);

    std::string error;
    const auto replacement = BeginFileReplacement(link, error);
    ASSERT_TRUE(replacement) << error;
    EXPECT_TRUE(replacement->TargetExisted);
    EXPECT_EQ(replacement->Temporary.parent_path(), target.parent_path());
    EXPECT_EQ(FileContent(target), "old") << "nothing changes before the move";
    WriteFileContent(replacement->Temporary, "new");
    ASSERT_TRUE(CompleteFileReplacement(*replacement, error)) << error;

    EXPECT_EQ(FileContent(target), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(FilesIn(dir.File("dumps")), 1u);
}

TEST(FileReplacement, AbandonedReplacementLeavesNothingBehind)
{
    TScratchDir dir;
    std::string error;
    const auto fresh = BeginFileReplacement(dir.File("new.DMP"), error);
    ASSERT_TRUE(fresh) << error;
    EXPECT_FALSE(fresh->TargetExisted);
    AbandonFileReplacement(*fresh);
    EXPECT_EQ(FilesIn(dir.Path()), 0u);
}
