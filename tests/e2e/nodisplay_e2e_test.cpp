// The window program where no window can be opened: without a display, and asked for its help or
// version in a terminal. Each run has an empty environment (env -i) and its standard error joined
// to its standard output.

#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2eprocess.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class WindowProgram : public ::testing::Test
{
protected:
    void SetUp() override { CopyProgram(SRVDIAG_BIN, Program); }

    TRunResult Run(const std::vector<std::string>& env, const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{"env", "-i", "HOME=" + Dir.Path()};
        argv.insert(argv.end(), env.begin(), env.end());
        argv.insert(argv.end(), {"sh", "-c", "exec \"$0\" \"$@\" 2>&1", Program});
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, {}, HangGuard);
    }

    // Nothing but the program itself in its folder: no settings or trace file was written.
    bool FolderUntouched() const
    {
        return std::distance(std::filesystem::directory_iterator(Dir.Path()),
                             std::filesystem::directory_iterator()) == 1;
    }

    TTempDir Dir;
    const std::string Program = Dir.Path() + "/srvdiag";
};

} // namespace

TEST_F(WindowProgram, WithoutADisplaySaysSoInOneLineAndPointsToTheTerminalProgram)
{
    const std::string line =
        "srvdiag: no display found; srvdiag-cli reads a server in a terminal\n";
    for (const std::vector<std::string>& env :
         {std::vector<std::string>{}, {"DISPLAY=:4711"}, {"QT_QPA_PLATFORM=xcb"}}) {
        const TRunResult run = Run(env, {});
        EXPECT_EQ(run.ExitCode, 69) << run.Output;
        EXPECT_EQ(run.Output, line);
    }
    EXPECT_TRUE(FolderUntouched());
}

TEST_F(WindowProgram, HelpAndVersionPrintWithoutOpeningTheWindow)
{
    // With a display the window would open and the run would not end by itself.
    const TRunResult help = Run({"QT_QPA_PLATFORM=offscreen"}, {"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_EQ(help.Output.rfind("Usage: srvdiag [--help | --version]\n", 0), 0u) << help.Output;
    EXPECT_NE(help.Output.find("srvdiag-cli"), std::string::npos) << help.Output;
    const TRunResult version = Run({}, {"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Output, "srvdiag " PROJECT_VERSION "\n");
    EXPECT_TRUE(FolderUntouched());
}
