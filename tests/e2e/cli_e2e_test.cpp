// srvdiag-cli run inside the virtual server: the outcomes of a read-out as exit codes, dump and
// trace files.

#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2elines.h"
#include "tests/e2e/e2eprocess.h"
#include "tests/e2e/e2etrace.h"
#include "tools/serversim/simoptions.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::string FullTrace(const std::string& memory)
{
    std::string trace = ConnectTrace(DefaultIdentification()) + LinkCheckTrace(false);
    for (int block = 0; block < 128; ++block)
        trace += BlockTrace(block, memory);
    return trace;
}

class CliReadOut : public ::testing::Test
{
protected:
    void SetUp() override { CopyProgram(SRVDIAG_CLI_BIN, Cli); }

    std::vector<std::string> Command(const std::vector<std::string>& serverOptions,
                                     const std::vector<std::string>& cliArgs) const
    {
        std::vector<std::string> argv{VIRTUALSERVER_BIN, "--lines", Lines};
        argv.insert(argv.end(), serverOptions.begin(), serverOptions.end());
        argv.push_back("--");
        argv.push_back(Cli);
        argv.insert(argv.end(), cliArgs.begin(), cliArgs.end());
        return argv;
    }

    TRunResult Run(const std::vector<std::string>& serverOptions,
                   const std::vector<std::string>& cliArgs)
    {
        return RunProgram(Command(serverOptions, cliArgs), {}, 60s);
    }

    std::optional<std::string> Trace() const { return ReadFileIfExists(Cli + ".ERR"); }

    TTempDir Dir;
    const std::string Cli = Dir.Path() + "/srvdiag-cli";
    const std::string Dump = Dir.Path() + "/out.DMP";
    const std::string Lines = Dir.Path() + "/lines";
};

TEST_F(CliReadOut, FullReadOutWritesTheMemoryThroughTheLineSequence)
{
    const TRunResult run = Run({}, {Dump});
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    EXPECT_FALSE(Trace()) << "a success writes no trace";
    EXPECT_FALSE(ReadFileIfExists(Cli + ".INI")) << "the settings file is never written";
    EXPECT_EQ(run.Output, "Now connecting to server,\nplease wait...\n"
                          "Now reading server memory,\nplease wait...\n"
                          "0%\n10%\n20%\n30%\n40%\n50%\n60%\n70%\n80%\n90%\n100%\n"
                          "Read-out of server memory\nwas successful!\n"
                          "This program will exit now.\n\nClick Next.\n");
    ExpectBringUpLineSequence(ReadFile(Lines));
}

TEST_F(CliReadOut, DutchTexts)
{
    const TRunResult run = Run({}, {Dump, "--lang", "nl"});
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    EXPECT_NE(run.Output.find("Verbinding maken met de server -\neven geduld alstublieft...\n"),
              std::string::npos);
    EXPECT_NE(run.Output.find("De server is met succes uitgelezen!\n"
                              "Het programma wordt nu afgesloten.\n\nKlik op Verder...\n"),
              std::string::npos);
}

TEST_F(CliReadOut, ShutdownFrameGoesFirstAndARefusalEndsBeforeAnyBlock)
{
    ASSERT_EQ(Run({}, {Dump, "--shutdown"}).ExitCode, 0);
    EXPECT_EQ(ReadFile(Dump), PatternImage());

    std::filesystem::remove(Dump);
    const TRunResult refused = Run({"--refuse-shutdown"}, {Dump, "--shutdown"});
    EXPECT_EQ(refused.ExitCode, 3);
    EXPECT_FALSE(ReadFileIfExists(Dump));
    const std::string expected =
        ConnectTrace(DefaultIdentification()) + LinkCheckTrace(false) + "<1 4 134 \r>1 3 21 \r";
    EXPECT_EQ(Trace(), expected);
}

TEST_F(CliReadOut, NoMatchingServerInAnyLayoutEndsWithExitCode2AndAnEmptyTrace)
{
    for (const char* layout : {"--no-server", "--other-product", "--two-servers"}) {
        SCOPED_TRACE(layout);
        std::filesystem::remove(Cli + ".ERR");
        const TRunResult run = Run({layout}, {Dump});
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_NE(run.Output.find("Server could not be found.\n"), std::string::npos);
        EXPECT_EQ(Trace(), "") << "discovery fails before the attempt-start entry";
        EXPECT_FALSE(ReadFileIfExists(Dump));
        EXPECT_EQ(ReadFile(Lines), "") << "the port is never opened";
    }
}

TEST_F(CliReadOut, WrongIdentificationIsRejectedAfterAllNineteenSteps)
{
    const TRunResult run = Run({"--wrong-id"}, {Dump});
    EXPECT_EQ(run.ExitCode, 2);
    std::string identification = DefaultIdentification();
    identification[10] = 'B';
    EXPECT_EQ(Trace(), ConnectTrace(identification));
    EXPECT_FALSE(ReadFileIfExists(Dump));
}

TEST_F(CliReadOut, EchoedLinkCheckIsACommunicationError)
{
    const TRunResult run = Run({"--echo-link-check"}, {Dump});
    EXPECT_EQ(run.ExitCode, 3);
    EXPECT_NE(run.Output.find("An error has occurred while\nreading from the server.\n"),
              std::string::npos);
    EXPECT_EQ(Trace(), ConnectTrace(DefaultIdentification()) + LinkCheckTrace(true));
}

TEST_F(CliReadOut, FailureAtBlock50LeavesAnEarlierDumpUntouched)
{
    WriteFile(Dump, "an earlier dump");
    const TRunResult run = Run({"--fault", "silence", "--block", "50"}, {Dump});
    EXPECT_EQ(run.ExitCode, 3);
    EXPECT_EQ(ReadFile(Dump), "an earlier dump");
    std::string expected = ConnectTrace(DefaultIdentification()) + LinkCheckTrace(false);
    for (int block = 0; block < 50; ++block)
        expected += BlockTrace(block, PatternImage());
    expected += BlockRequestEntry(50) + "!";
    EXPECT_EQ(Trace(), expected);
}

TEST_F(CliReadOut, MissingOutputFolderIsFoundAfterTheWholeRead)
{
    const std::string missing = Dir.Path() + "/missing/out.DMP";
    const TRunResult run = Run({}, {missing});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Output.find("An error has occurred while\nwriting to the specified output "
                              "file.\n"),
              std::string::npos);
    EXPECT_EQ(Trace(), FullTrace(PatternImage()));
}

TEST_F(CliReadOut, CtrlCDuringTheReadOutActsAsBack)
{
    const std::string out = Dir.Path() + "/stdout";
    TProcess process(Command({"--baud", "9600"}, {Dump}), {}, out);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (ReadFile(out).find("10%\n") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline && !process.WaitFor(20ms)) {
    }
    process.SignalGroup(SIGINT); // as a terminal's Ctrl+C: the whole process group
    EXPECT_EQ(process.WaitFor(20s), 130);

    // The dump holds the blocks read so far, the trace the exchanges up to the Back.
    const std::string dump = ReadFile(Dump);
    EXPECT_GT(dump.size(), 0u);
    EXPECT_LT(dump.size(), 1536u);
    EXPECT_EQ(dump.size() % 12, 0u);
    EXPECT_EQ(dump, PatternImage().substr(0, dump.size()));
    const std::string trace = Trace().value_or("");
    const std::string full = FullTrace(PatternImage());
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace, full.substr(0, trace.size()));
    EXPECT_EQ(trace.back(), '\r');
}

TEST_F(CliReadOut, CtrlCWhileTheServerTakesNoBytesEndsTheRun)
{
    const std::string out = Dir.Path() + "/stdout";
    // The server answers the probe, then takes nothing more: the tool waits in a write.
    TProcess process(Command({"--stall-after", "1"}, {Dump}), {}, out);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (ReadFile(out).find("takes no more bytes") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline && !process.WaitFor(20ms)) {
    }
    process.SignalGroup(SIGINT);
    EXPECT_EQ(process.WaitFor(20s), 130) << ReadFile(out);
    EXPECT_FALSE(ReadFileIfExists(Dump)) << "a connect never touches the dump";
}

TEST_F(CliReadOut, TraceThatCannotBeWrittenIsReportedSoWithTheReason)
{
    std::filesystem::create_directory(Cli + ".ERR"); // the trace file's name taken by a folder
    std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$@\" 2>&1", "sh"};
    const std::vector<std::string> command = Command({"--no-server"}, {Dump});
    argv.insert(argv.end(), command.begin(), command.end());
    const TRunResult run = RunProgram(argv, {}, 60s);
    EXPECT_EQ(run.ExitCode, 2);
    const std::size_t report = run.Output.find("srvdiag-cli: trace could not be written to ");
    ASSERT_NE(report, std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("srvdiag-cli.ERR: Is a directory\n", report), std::string::npos)
        << run.Output;
    EXPECT_EQ(run.Output.find("trace written"), std::string::npos);
}

TEST_F(CliReadOut, ReaderOfTheOutputThatGoesAwayDoesNotEndTheReadOut)
{
    // As `srvdiag-cli out.DMP | head -c1`: the pipe closes after the first byte of the texts.
    std::vector<std::string> argv{"/bin/bash", "-c",
                                  "\"$@\" | head -c1 >/dev/null; exit ${PIPESTATUS[0]}", "bash"};
    const std::vector<std::string> command = Command({}, {Dump});
    argv.insert(argv.end(), command.begin(), command.end());
    const TRunResult run = RunProgram(argv, {}, 60s);
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(ReadFileIfExists(Dump) == PatternImage()) << "the dump is complete";
}

TEST(CliArguments, HelpAndBadArgumentsAsCommandLineToolsDo)
{
    const TRunResult help = RunProgram({SRVDIAG_CLI_BIN, "--help"}, {}, 10s);
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Output.find("OUTPUT"), std::string::npos);
    EXPECT_NE(help.Output.find("--shutdown"), std::string::npos);
    EXPECT_NE(help.Output.find("--lang"), std::string::npos);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{SRVDIAG_CLI_BIN},
                                                {SRVDIAG_CLI_BIN, "a", "b"},
                                                {SRVDIAG_CLI_BIN, "a", "--lang", "fr"},
                                                {SRVDIAG_CLI_BIN, "a", "--bogus"},
                                                {SRVDIAG_CLI_BIN, ""}}) {
        const TRunResult run = RunProgram(bad, {}, 10s);
        EXPECT_EQ(run.ExitCode, 64) << bad.back();
        EXPECT_EQ(run.Output, "") << "messages go to standard error";
    }
}

} // namespace
