#include "app/cli/clihost.h"
#include "app/cli/clireport.h"
#include "app/cli/discoveryrecord.h"
#include "app/core/platformfiles.h"
#include "tests/support/scratchdir.h"
#include "worker/devicelister.h"

#include <cstdio>
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
    EXPECT_EQ(ReadFile(dump->Temporary), memory);
}

// A USB product string is the device's own text: what it holds of terminal controls reaches the
// terminal escaped in "server not found", while --json keeps its own escapes.
TEST(CliReport, DeviceTextReachesTheTerminalEscaped)
{
    TDiscoveryRecord discovery;
    discovery.Keep(std::vector<TUsbDevice>{{"USB\\VID_1234&PID_5678&REV_0100",
                                            "Evil\x1b]0;owned\x07\x1b[2J\x7f\xc2\x9b"
                                            "device"}});
    TRunFacts facts;
    facts.Code = 2;
    TCliArgs args;
    args.Output = "out.DMP";
    args.Json = true;
    TFileReplacement none;
    const TReadReport report = ConcludeReadOut(facts, args, none, discovery, "trace.ERR");

    std::FILE* err = std::tmpfile();
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(err && out);
    PrintReport(report, args, err, out);
    const auto content = [](std::FILE* file) {
        std::rewind(file);
        std::string text;
        for (int c; (c = std::fgetc(file)) != EOF;)
            text += static_cast<char>(c);
        std::fclose(file);
        return text;
    };
    const std::string errText = content(err);
    const std::string outText = content(out);
    EXPECT_NE(errText.find("found: 1234:5678 Evil\\x1b]0;owned\\x07\\x1b[2J\\x7f\\xc2\\x9bdevice"),
              std::string::npos)
        << errText;
    EXPECT_NE(outText.find("Evil\\u001b]0;owned\\u0007\\u001b[2J\\u007f"), std::string::npos)
        << outText;
}
