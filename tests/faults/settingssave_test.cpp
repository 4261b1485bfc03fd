#include "app/core/settingsfile.h"
#include "tests/support/scratchdir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// Caps the size of any file this process writes, as a full disk does, for the life of the object.
class TFileSizeCap
{
public:
    explicit TFileSizeCap(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Saved);
        // Past the cap a write fails with EFBIG instead of the process being killed.
        Previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit cap = Saved;
        cap.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &cap);
    }
    ~TFileSizeCap()
    {
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, Previous);
    }
    TFileSizeCap(const TFileSizeCap&) = delete;
    TFileSizeCap& operator=(const TFileSizeCap&) = delete;

private:
    rlimit Saved{};
    void (*Previous)(int) = nullptr;
};

} // namespace

// A write that fails half-way (a full disk) must not cost the user the settings and the list of
// recent files they had: the old file stays whole and no temporary file is left beside it.
TEST(SettingsSave, FailureWhileWritingLeavesTheOldFileIntact)
{
    TScratchDir dir;
    const auto path = dir.File("srvdiag.INI");
    const std::string old = FormatSettings(10, 20, true, {"/data/first.DMP", "/data/second.DMP"});
    ASSERT_TRUE(SaveSettingsFile(path, old));

    TRecentFiles many;
    for (int i = 0; i < 10; ++i)
        many.push_back("/a/rather/long/folder/name/for/dump/file/number/" + std::to_string(i) +
                       ".DMP");
    const std::string bigger = FormatSettings(1, 2, false, many);
    {
        TFileSizeCap cap(static_cast<rlim_t>(old.size()) + 8);
        EXPECT_FALSE(SaveSettingsFile(path, bigger));
    }

    EXPECT_EQ(ReadFile(path), old);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"srvdiag.INI"});
    // Once there is room again the new settings replace the old ones.
    EXPECT_TRUE(SaveSettingsFile(path, bigger));
}
