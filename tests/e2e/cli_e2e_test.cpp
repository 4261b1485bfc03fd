// srvdiag-cli run inside the virtual server: the outcomes of a read-out as exit codes, messages,
// dump and trace files.

#include "app/core/sha256.h"
#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2elines.h"
#include "tests/e2e/e2eprocess.h"
#include "tests/e2e/e2eterminal.h"
#include "tests/e2e/e2etrace.h"
#include "tools/serversim/simoptions.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

class CliReadOut : public ::testing::Test
{
protected:
    void SetUp() override { CopyProgram(SRVDIAG_CLI_BIN, Cli); }

    std::vector<std::string> Command(const std::vector<std::string>& serverOptions,
                                     const std::vector<std::string>& cliArgs) const
    {
        return VirtualServerCommand(VIRTUALSERVER_BIN, Lines, serverOptions, Cli, cliArgs);
    }

    // The locale is cleared so that the texts are English unless a test asks otherwise.
    TRunResult Run(const std::vector<std::string>& serverOptions,
                   const std::vector<std::string>& cliArgs,
                   const std::vector<std::string>& env = {})
    {
        std::vector<std::string> all{"LC_ALL=", "LC_MESSAGES=", "LANG="};
        all.insert(all.end(), env.begin(), env.end());
        return RunProgram(Command(serverOptions, cliArgs), all, HangGuard);
    }

    std::optional<std::string> Trace() const { return ReadFileIfExists(Cli + ".ERR"); }

    // The files in the test's folder besides the program, its trace and the records.
    std::vector<std::string> OtherFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Dir.Path())) {
            const std::string name = entry.path().filename().string();
            if (name != "srvdiag-cli" && name != "srvdiag-cli.ERR" && name != "lines" &&
                name != "stdout")
                names.push_back(name);
        }
        return names;
    }

    // Ctrl+C once the read-out's progress shows 10%; the run's exit code. Standard error is the
    // terminal, so the progress is drawn there.
    // With another signal, that signal goes to the virtual server alone, which hands it on to
    // the program once (as a service manager or a closed terminal sends it).
    // From 10% on the terminal holds the program's output, as Ctrl+S does: the read-out stops at
    // its next progress step (the worker waits for the main thread that draws it) and goes on
    // only once the signal is on its way to the program, so it cannot end first however busy
    // the machine.
    std::optional<int> InterruptAtTenPercent(const std::vector<std::string>& cliArgs,
                                             TTerminal& terminal, int sig = SIGINT)
    {
        TProcess process(Command({"--baud", "9600"}, cliArgs), {"LC_ALL=C"}, Dir.Path() + "/stdout",
                         terminal.DeviceName());
        EXPECT_TRUE(terminal.WaitFor(" 10%", process, HangGuard)) << terminal.Output();
        terminal.PauseOutput();
        if (sig == SIGINT) {
            process.SignalGroup(SIGINT); // as a terminal's Ctrl+C: the whole process group
        } else {
            ::kill(process.Pid(), sig);
            // The virtual server hands the signal on in the same step that takes it.
            EXPECT_TRUE(WaitUntilTaken(process.Pid(), sig, HangGuard))
                << "the virtual server did not take the signal";
        }
        terminal.ResumeOutput();
        return terminal.WaitForExit(process, HangGuard);
    }

    // The trace left by a read-out interrupted after some blocks.
    void ExpectTraceOfAnInterruptedReadOut() const
    {
        const std::string trace = Trace().value_or("");
        const std::string full = ReadOutTrace();
        ASSERT_FALSE(trace.empty());
        EXPECT_EQ(trace, full.substr(0, trace.size()));
        EXPECT_EQ(trace.back(), '\r');
    }

    TTempDir Dir;
    const std::string Cli = Dir.Path() + "/srvdiag-cli";
    const std::string Dump = Dir.Path() + "/out.DMP";
    const std::string Lines = Dir.Path() + "/lines";
};

TEST_F(CliReadOut, FullReadOutWritesTheMemoryThroughTheLineSequence)
{
    WriteFile(Dump, "an earlier dump");
    const TRunResult run = Run({}, {Dump});
    ASSERT_EQ(run.ExitCode, 0) << run.Errors;
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    EXPECT_FALSE(Trace()) << "a success writes no trace";
    EXPECT_FALSE(ReadFileIfExists(Cli + ".INI")) << "the settings file is never written";
    EXPECT_EQ(run.Output, "") << "standard output is kept for --json";
    EXPECT_EQ(run.Errors, "srvdiag-cli: read the server's memory: 1536 bytes written to " + Dump +
                              ", SHA-256 " + Sha256Hex(PatternImage()) + "\n")
        << "no progress where standard error is not a terminal";
    EXPECT_EQ(OtherFiles(), std::vector<std::string>{"out.DMP"}) << "no temporary file is left";
    ExpectBringUpLineSequence(ReadFile(Lines));
}

TEST_F(CliReadOut, LanguageFollowsLangElseTheLocale)
{
    const std::string dutch = "srvdiag-cli: server niet gevonden: geen USB-apparaat 04d8:fe88";
    const std::string english = "srvdiag-cli: server not found: no USB device 04d8:fe88";
    struct TCase
    {
        std::vector<std::string> Env, Args;
        const std::string& Expected;
    };
    const TCase cases[] = {
        {{"LANG=nl_NL.UTF-8"}, {}, dutch},
        {{"LANG=nl_NL.UTF-8"}, {"--lang", "en"}, english},
        {{"LANG=de_DE.UTF-8"}, {"--lang", "nl"}, dutch},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Env.back() + (c.Args.empty() ? "" : " " + c.Args.back()));
        std::vector<std::string> args{Dump};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const TRunResult run = Run({"--no-server"}, args, c.Env);
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_EQ(run.Errors.rfind(c.Expected, 0), 0u) << run.Errors;
    }
}

// Each kind of failure in one line that says where the exchange stopped, with its exit code;
// every one leaves a trace and says where it went.
TEST_F(CliReadOut, EachFailureSaysWhereItStoppedWithItsExitCode)
{
    struct TCase
    {
        std::vector<std::string> Server, Cli;
        int ExitCode;
        std::string Message; // the first line; "*" at its end matches any rest
    };
    const TCase cases[] = {
        {{"--no-server"},
         {},
         2,
         "server not found: no USB device 04d8:fe88; found: 1234:5678 Other USB device"},
        {{"--other-product"},
         {},
         2,
         "server not found: no USB device 04d8:fe88; found: 04d8:fe89 Virtual server (ttyACM0)"},
        {{"--two-servers"},
         {},
         2,
         "server not found: the USB device 04d8:fe88 (Virtual server) has no serial port"},
        {{"--wrong-id"},
         {},
         2,
         "server not found on /dev/ttyACM0: the identification text does not match: the device "
         "sent \"VADOZIROZBK7Q2[9\""},
        {{"--silent"},
         {},
         2,
         "server not found on /dev/ttyACM0: the server does not answer: is it switched on and "
         "connected?"},
        {{"--echo-link-check"}, {}, 3, "communication error: *"},
        {{"--refuse-shutdown"},
         {"--shutdown"},
         3,
         "communication error: server refused the shutdown command"},
        {{"--fault", "silence", "--block", "50"},
         {},
         3,
         "communication error: no answer to block 50"},
        {{"--fault", "hangup", "--block", "20"},
         {},
         3,
         "communication error: line lost at block 20"},
        {{"--fault", "checksum", "--block", "3"},
         {},
         3,
         "communication error: wrong checksum in block 3"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Server.front());
        std::filesystem::remove(Cli + ".ERR");
        std::vector<std::string> args{Dump};
        args.insert(args.end(), c.Cli.begin(), c.Cli.end());
        const TRunResult run = Run(c.Server, args);
        EXPECT_EQ(run.ExitCode, c.ExitCode);
        const std::string first = run.Errors.substr(0, run.Errors.find('\n'));
        if (c.Message.back() == '*')
            EXPECT_EQ(first.rfind("srvdiag-cli: " + c.Message.substr(0, c.Message.size() - 1), 0),
                      0u)
                << run.Errors;
        else
            EXPECT_EQ(first, "srvdiag-cli: " + c.Message) << run.Errors;
        // Before any byte went to a server there is nothing to explain.
        const bool nothingExchanged = c.Message.rfind("server not found: ", 0) == 0;
        EXPECT_EQ(run.Errors.substr(first.size()),
                  nothingExchanged
                      ? "\nsrvdiag-cli: no trace: nothing was exchanged with a server\n"
                      : "\nsrvdiag-cli: trace written to " + Cli +
                            ".ERR; 'srvdiag-cli explain' tells what went wrong\n");
        EXPECT_TRUE(Trace());
        EXPECT_EQ(run.Output, "");
    }
}

// Another program holds the port (flock(1) keeps it locked while the read-out runs): a matter of
// the installation, with an exit code of its own.
TEST_F(CliReadOut, PortHeldByAnotherProgramHasItsOwnExitCodeAndRemedy)
{
    const TRunResult run = RunProgram({VIRTUALSERVER_BIN, "--", "flock", "/dev/ttyACM0", Cli, Dump},
                                      {"LC_ALL=C"}, HangGuard);
    EXPECT_EQ(run.ExitCode, 4);
    EXPECT_EQ(run.Errors.rfind("srvdiag-cli: cannot open /dev/ttyACM0: ", 0), 0u) << run.Errors;
    EXPECT_NE(run.Errors.find("; another program holds the port: close it and try again\n"),
              std::string::npos)
        << run.Errors;
    EXPECT_FALSE(ReadFileIfExists(Dump));
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
    EXPECT_EQ(Trace(), ConnectTrace(DefaultIdentification()) + LinkCheckTrace(true));
}

TEST_F(CliReadOut, FailureAtBlock50LeavesAnEarlierDumpUntouched)
{
    WriteFile(Dump, "an earlier dump");
    const TRunResult run = Run({"--fault", "silence", "--block", "50"}, {Dump});
    EXPECT_EQ(run.ExitCode, 3);
    EXPECT_EQ(ReadFile(Dump), "an earlier dump");
    EXPECT_EQ(Trace(), ReadOutTrace(50) + BlockRequestEntry(50) + "!");
}

// A name that cannot take the dump is refused before the server is looked for.
TEST_F(CliReadOut, BadOutputIsRefusedBeforeConnecting)
{
    const std::string fifo = Dir.Path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {Dir.Path() + "/missing/out.DMP", "the folder " + Dir.Path() + "/missing does not exist"},
        {Dir.Path(), "Is a directory"},
        {fifo, "Not a regular file"},
    };
    for (const auto& [output, reason] : cases) {
        SCOPED_TRACE(output);
        const TRunResult run = Run({}, {output, "--json"});
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_EQ(run.Errors, "srvdiag-cli: cannot write " + output + ": " + reason + "\n");
        EXPECT_NE(run.Output.find("\"outcome\":\"output-file-error\""), std::string::npos)
            << run.Output;
        EXPECT_EQ(ReadFile(Lines), "") << "the port is never opened";
        EXPECT_FALSE(Trace()) << "no attempt, no trace";
    }
}

// A link another user planted in a shared sticky folder (/tmp, say) is not followed, as the
// system itself would not follow it: the file it leads to stays as it was, and the server is
// never touched. Needs root to give the link another owner.
TEST_F(CliReadOut, LinkPlantedInASharedFolderIsRefusedBeforeConnecting)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a link another owner";
    const std::string victim = Dir.Path() + "/victim";
    WriteFile(victim, "precious");
    const std::string shared = Dir.Path() + "/shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string link = shared + "/server.DMP";
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);

    const TRunResult run = Run({}, {link});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Errors, "srvdiag-cli: cannot write " + link +
                              ": Permission denied (a link of another user in a shared folder "
                              "is not followed)\n");
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_EQ(ReadFile(Lines), "") << "the port is never opened";
}

TEST_F(CliReadOut, CtrlCDuringTheReadOutLeavesAnEarlierDumpUntouched)
{
    WriteFile(Dump, "an earlier dump");
    TTerminal terminal;
    EXPECT_EQ(InterruptAtTenPercent({Dump}, terminal), 130);
    EXPECT_EQ(ReadFile(Dump), "an earlier dump");
    EXPECT_NE(
        terminal.Output().find("\nsrvdiag-cli: interrupted; " + Dump + " was left as it was\r\n"),
        std::string::npos)
        << terminal.Output();
    EXPECT_EQ(OtherFiles(), std::vector<std::string>{"out.DMP"}) << "no temporary file is left";
    ExpectTraceOfAnInterruptedReadOut();
}

// SIGTERM and SIGHUP end the read-out as Ctrl+C does: the earlier dump stays, no temporary
// file is left, and the exit status is 128 + the signal's number.
TEST_F(CliReadOut, TerminateAndHangUpEndTheReadOutAsCtrlCDoes)
{
    for (const int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        WriteFile(Dump, "an earlier dump");
        TTerminal terminal;
        EXPECT_EQ(InterruptAtTenPercent({Dump}, terminal, sig), 128 + sig);
        EXPECT_EQ(ReadFile(Dump), "an earlier dump");
        EXPECT_NE(
            terminal.Output().find("srvdiag-cli: interrupted; " + Dump + " was left as it was"),
            std::string::npos)
            << terminal.Output();
        EXPECT_EQ(OtherFiles(), std::vector<std::string>{"out.DMP"}) << "no temporary file is left";
    }
}

TEST_F(CliReadOut, CtrlCWithPartialWritesTheBlocksReadSoFar)
{
    WriteFile(Dump, "an earlier dump");
    TTerminal terminal;
    EXPECT_EQ(InterruptAtTenPercent({Dump, "--partial"}, terminal), 130);
    const std::string dump = ReadFile(Dump);
    EXPECT_GT(dump.size(), 0u);
    EXPECT_LT(dump.size(), 1536u);
    EXPECT_EQ(dump.size() % 12, 0u);
    EXPECT_EQ(dump, PatternImage().substr(0, dump.size()));
    EXPECT_NE(terminal.Output().find("srvdiag-cli: interrupted; the " +
                                     std::to_string(dump.size()) + " bytes read so far are in " +
                                     Dump + "\r\n"),
              std::string::npos)
        << terminal.Output();
    ExpectTraceOfAnInterruptedReadOut();
}

TEST_F(CliReadOut, CtrlCWhileTheServerTakesNoBytesEndsTheRun)
{
    const std::string out = Dir.Path() + "/stdout";
    // The server answers the probe, then takes nothing more: the tool waits in a write.
    TProcess process(Command({"--stall-after", "1"}, {Dump}), {}, out);
    const auto deadline = std::chrono::steady_clock::now() + HangGuard;
    while (ReadFile(out).find("takes no more bytes") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline && !process.WaitFor(20ms)) {
    }
    process.SignalGroup(SIGINT);
    EXPECT_EQ(process.WaitFor(HangGuard), 130) << ReadFile(out);
    EXPECT_FALSE(ReadFileIfExists(Dump)) << "a connect never touches the dump";
    EXPECT_EQ(OtherFiles(), std::vector<std::string>{}) << "no temporary file is left";
}

TEST_F(CliReadOut, TraceThatCannotBeWrittenIsReportedSoWithTheReason)
{
    std::filesystem::create_directory(Cli + ".ERR"); // the trace file's name taken by a folder
    const TRunResult run = Run({"--no-server"}, {Dump});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_NE(run.Errors.find("\nsrvdiag-cli: trace could not be written to " + Cli +
                              ".ERR: Is a directory\n"),
              std::string::npos)
        << run.Errors;
    EXPECT_EQ(run.Errors.find("trace written"), std::string::npos);
}

// As a script runs it: -q --json, nothing on standard error after a success.
TEST_F(CliReadOut, JsonGivesOneObjectOnStandardOutput)
{
    const TRunResult run = Run({}, {Dump, "-q", "--json"});
    EXPECT_EQ(run.ExitCode, 0);
    const std::regex success(
        R"(\{"schemaVersion":1,"outcome":"success","exitCode":0,"message":"[^"]+","file":")" +
        Dump + R"(","bytes":1536,"sha256":")" + Sha256Hex(PatternImage()) +
        R"(","identification":"\\u0011VADOZIROZAK7Q2\[9","port":"/dev/ttyACM0",)"
        R"("timings":\{"connectMs":[0-9]+,"readMs":[0-9]+\}\}\n)");
    EXPECT_TRUE(std::regex_match(run.Output, success)) << run.Output;
    EXPECT_EQ(run.Errors, "");

    const TRunResult failed = Run({"--fault", "silence", "--block", "50"}, {Dump, "--json"});
    EXPECT_EQ(failed.ExitCode, 3);
    EXPECT_EQ(failed.Errors.rfind("srvdiag-cli: communication error: no answer to block 50\n", 0),
              0u)
        << failed.Errors;
    EXPECT_EQ(failed.Output.rfind(
                  R"({"schemaVersion":1,"outcome":"communication-error","exitCode":3,)", 0),
              0u)
        << failed.Output;
    EXPECT_NE(failed.Output.find(R"(,"bytes":0,"sha256":null,)"), std::string::npos)
        << failed.Output;
    EXPECT_NE(failed.Output.find(R"(,"stage":"block","block":50,"trace":")" + Cli + ".ERR\"}\n"),
              std::string::npos)
        << failed.Output;
}

TEST_F(CliReadOut, ReaderOfTheOutputThatGoesAwayDoesNotEndTheReadOut)
{
    // As `srvdiag-cli out.DMP --json 2>&1 | head -c1`: the pipe closes after the first byte.
    std::vector<std::string> argv{
        "/bin/bash", "-c", "\"$@\" 2>&1 | head -c1 >/dev/null; exit ${PIPESTATUS[0]}", "bash"};
    const std::vector<std::string> command = Command({}, {Dump, "--json"});
    argv.insert(argv.end(), command.begin(), command.end());
    const TRunResult run = RunProgram(argv, {}, HangGuard);
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(ReadFileIfExists(Dump) == PatternImage()) << "the dump is complete";
}

TEST(CliArguments, HelpAndBadArgumentsAsCommandLineToolsDo)
{
    const TRunResult help = RunProgram({SRVDIAG_CLI_BIN, "--help"}, {}, HangGuard);
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Output.find("OUTPUT"), std::string::npos);
    EXPECT_EQ(help.Output.find("--help-all"), std::string::npos);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{SRVDIAG_CLI_BIN},
                                                {SRVDIAG_CLI_BIN, "a", "b"},
                                                {SRVDIAG_CLI_BIN, "a", "--lang", "fr"},
                                                {SRVDIAG_CLI_BIN, "a", "--bogus"},
                                                {SRVDIAG_CLI_BIN, ""}}) {
        const TRunResult run = RunProgram(bad, {}, HangGuard);
        EXPECT_EQ(run.ExitCode, 64) << bad.back();
        EXPECT_EQ(run.Output, "") << "messages go to standard error";
        EXPECT_NE(run.Errors.find("srvdiag-cli --help"), std::string::npos) << run.Errors;
    }
}

} // namespace
