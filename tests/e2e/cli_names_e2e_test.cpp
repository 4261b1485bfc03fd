// srvdiag-cli with an output name that is not valid UTF-8: a file name is bytes.

#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2eprocess.h"
#include "tools/serversim/simoptions.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(CliNames, AnOutputNameThatIsNotUtf8IsOpenedByteForByte)
{
    TTempDir dir;
    const std::string cli = dir.Path() + "/srvdiag-cli";
    CopyProgram(SRVDIAG_CLI_BIN, cli);
    const std::string dump = dir.Path() + "/caf\xe9.DMP"; // Latin-1
    const TRunResult run = RunProgram(
        {VIRTUALSERVER_BIN, "--lines", dir.Path() + "/lines", "--", cli, dump}, {}, HangGuard);
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(ReadFile(dump), PatternImage());
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/caf\xef\xbf\xbd.DMP"));
}
