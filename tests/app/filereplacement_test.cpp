#include "app/core/platformfiles.h"
#include "tests/support/scratchdir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    WriteFile(target, "old");
    ::chmod(target.c_str(), 0640);
    const auto link = dir.File("link.DMP");
    std::filesystem::create_symlink(target, link);

    std::string error;
    const auto replacement = BeginFileReplacement(link, error);
    ASSERT_TRUE(replacement) << error;
    EXPECT_TRUE(replacement->TargetExisted);
    EXPECT_EQ(replacement->Temporary.parent_path(), target.parent_path());
    EXPECT_EQ(ReadFile(target), "old") << "nothing changes before the move";
    ASSERT_EQ(WriteFileReplacement(*replacement, "new", 3, error), 3) << error;
    ASSERT_TRUE(CompleteFileReplacement(*replacement, error)) << error;

    EXPECT_EQ(ReadFile(target), "new");
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

// A link planted in a shared sticky folder by another user is not followed (the system's rule
// for such links), while the same link of the folder's owner is; no file is made either way.
// Needs root to give the link another owner.
TEST(FileReplacement, LinkOfAnotherUserInAStickyFolderIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a link another owner";
    TScratchDir dir;
    const auto victim = dir.File("victim");
    WriteFile(victim, "precious");
    const auto shared = dir.File("shared");
    std::filesystem::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const auto link = shared / "server.DMP";
    std::filesystem::create_symlink(victim, link);
    ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);

    std::string error;
    EXPECT_FALSE(BeginFileReplacement(link, error));
    EXPECT_NE(error.find("not followed"), std::string::npos) << error;
    EXPECT_FALSE(ReplaceRegularFile(link, "settings"));
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_EQ(FilesIn(shared), 1u);
    EXPECT_EQ(FilesIn(dir.Path()), 2u);

    // The folder's owner's link (here: root's, which is also the user) is followed.
    ASSERT_EQ(::lchown(link.c_str(), 0, 0), 0);
    const auto replacement = BeginFileReplacement(link, error);
    ASSERT_TRUE(replacement) << error;
    ASSERT_EQ(WriteFileReplacement(*replacement, "dump", 4, error), 4) << error;
    ASSERT_TRUE(CompleteFileReplacement(*replacement, error)) << error;
    EXPECT_EQ(ReadFile(victim), "dump");
}

// The new file never takes a set-user or set-group bit from the file it replaces, and it is
// written through the descriptor made with it: a name swapped in meanwhile is not written.
TEST(FileReplacement, NewFileIsWrittenThroughItsDescriptorWithoutSpecialBits)
{
    TScratchDir dir;
    const auto target = dir.File("out.DMP");
    WriteFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 06755), 0);
    std::string error;
    const auto replacement = BeginFileReplacement(target, error);
    ASSERT_TRUE(replacement) << error;
    const auto moved = dir.File("moved-away");
    std::filesystem::rename(replacement->Temporary, moved);
    WriteFile(replacement->Temporary, "planted");

    ASSERT_EQ(WriteFileReplacement(*replacement, "dump", 4, error), 4) << error;
    EXPECT_EQ(ReadFile(moved), "dump");
    EXPECT_EQ(ReadFile(replacement->Temporary), "planted");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(moved.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

// In a sticky folder another user's file that anyone may write cannot be replaced by this user:
// the move is refused, and the new file, with its content, is left for the caller to name.
// Runs the user's part in a child that gave up root.
TEST(FileReplacement, RefusedMoveKeepsTheNewFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    TScratchDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0);
    const auto target = dir.File("server.DMP");
    WriteFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0666), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        std::string reason;
        const auto replacement = BeginFileReplacement(target, reason);
        if (!replacement)
            ::_exit(11);
        if (WriteFileReplacement(*replacement, "dump", 4, reason) != 4)
            ::_exit(12);
        if (CompleteFileReplacement(*replacement, reason))
            ::_exit(13);
        if (ReadFile(replacement->Temporary) != "dump")
            ::_exit(14);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(FilesIn(dir.Path()), 2u) << "the new file stays beside the old one";
}
