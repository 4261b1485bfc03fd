#include "app/cli/clihost.h"
#include "app/cli/clireport.h"
#include "app/cli/discoveryrecord.h"
#include "app/core/platformfiles.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

// A whole read-out whose dump cannot be moved to its name (here a folder took the name's place
// meanwhile; in a sticky folder, another user's file) is not thrown away: the new file stays
// and the message names it.
TEST(CliReport, ReadOutThatCannotBeMovedIsKeptAndNamed)
{
    TScratchDir dir;
    const auto output = dir.File("server.DMP");
    std::string error;
    const auto dump = BeginFileReplacement(output, error);
    ASSERT_TRUE(dump) << error;
    const std::string memory(1536, 'm');
    ASSERT_EQ(WriteFileReplacement(*dump, memory.data(), memory.size(), error), 1536);
    std::filesystem::create_directory(output);

    TRunFacts facts;
    facts.Code = 0;
    facts.ReadOutRan = true;
    TCliArgs args;
    args.Output = output;
    const TReadReport report =
        ConcludeReadOut(facts, args, *dump, TDiscoveryRecord(), dir.File("srvdiag-cli.ERR"));

    EXPECT_EQ(report.ExitCode, 1);
    EXPECT_EQ(report.Outcome, "output-file-error");
    EXPECT_NE(report.Message.find(dump->Temporary.native()), std::string::npos) << report.Message;
    EXPECT_EQ(FileContent(dump->Temporary), memory);
}
