// srvdiag-cli explaining itself inside the virtual server: a typo that must not start a
// read-out, explain taking the newest trace of the window or the command line, and the progress
// on terminals of any kind.

#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2eprocess.h"
#include "tests/e2e/e2eterminal.h"
#include "tools/serversim/simoptions.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class CliMessages : public ::testing::Test
{
protected:
    void SetUp() override { CopyProgram(SRVDIAG_CLI_BIN, Cli); }

    std::vector<std::string> Command(const std::vector<std::string>& serverOptions,
                                     const std::vector<std::string>& cliArgs) const
    {
        return VirtualServerCommand(VIRTUALSERVER_BIN, Lines, serverOptions, Cli, cliArgs);
    }

    // English texts, and the user's folders inside the test's folder, where no other trace is.
    std::vector<std::string> Environment() const
    {
        return {"LC_ALL=",
                "LC_MESSAGES=",
                "LANG=",
                "HOME=" + Dir.Path(),
                "XDG_DATA_HOME=" + Dir.Path() + "/data",
                "XDG_CONFIG_HOME=" + Dir.Path() + "/config"};
    }

    TRunResult Run(const std::vector<std::string>& serverOptions,
                   const std::vector<std::string>& cliArgs) const
    {
        return RunProgram(Command(serverOptions, cliArgs), Environment(), HangGuard);
    }

    // A terminal read-out to its end; what the terminal showed.
    std::string OnTerminal(TTerminal& terminal, const std::vector<std::string>& cliArgs)
    {
        TProcess process(Command({}, cliArgs), {"LC_ALL=C"}, Dir.Path() + "/stdout",
                         terminal.DeviceName());
        EXPECT_EQ(terminal.WaitForExit(process, HangGuard), 0) << terminal.Output();
        return terminal.Output();
    }

    TTempDir Dir;
    const std::string Cli = Dir.Path() + "/srvdiag-cli";
    const std::string Lines = Dir.Path() + "/lines";
    const std::string Dump = Dir.Path() + "/out.DMP";
};

TEST_F(CliMessages, MistypedCommandIsRefusedWithoutTouchingTheServer)
{
    const std::string cwd = std::filesystem::current_path().string();
    const TRunResult run = Run({}, {"explian"});
    EXPECT_EQ(run.ExitCode, 64);
    EXPECT_EQ(run.Errors.rfind("srvdiag-cli: 'explian' is no command: did you mean explain?", 0),
              0u)
        << run.Errors;
    EXPECT_EQ(ReadFile(Lines), "") << "the port is never opened";
    EXPECT_FALSE(std::filesystem::exists(cwd + "/explian"));
    EXPECT_FALSE(ReadFileIfExists(Cli + ".ERR"));
}

// explain without a file: the window's trace when it is the newer, the command line's own when
// that is; it says which one it read.
TEST_F(CliMessages, ExplainReadsTheMostRecentTraceOfTheWindowOrTheCommandLine)
{
    ASSERT_EQ(Run({"--fault", "checksum", "--block", "3"}, {Dump}).ExitCode, 3);
    const std::string window = Dir.Path() + "/srvdiag.ERR";
    std::filesystem::rename(Cli + ".ERR", window); // as the window beside it leaves its trace
    ASSERT_EQ(Run({"--silent"}, {Dump}).ExitCode, 2);
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(Cli + ".ERR", now - 1h);
    std::filesystem::last_write_time(window, now);

    const TRunResult windows = RunProgram({Cli, "explain"}, Environment(), HangGuard);
    EXPECT_EQ(windows.ExitCode, 0) << windows.Errors;
    EXPECT_EQ(windows.Errors,
              "srvdiag-cli: the most recent trace, the window's (srvdiag): " + window + "\n");
    EXPECT_NE(windows.Output.find("Result: wrong checksum in block 3\n"), std::string::npos)
        << windows.Output;

    std::filesystem::last_write_time(window, now - 2h);
    const TRunResult own = RunProgram({Cli, "explain"}, Environment(), HangGuard);
    EXPECT_EQ(own.Errors, "srvdiag-cli: the most recent trace, srvdiag-cli's: " + Cli + ".ERR\n");
    EXPECT_NE(own.Output.find("Result: no answer to the probe\n"), std::string::npos) << own.Output;
}

// With -v the log owns the terminal: no bar is drawn between its lines.
TEST_F(CliMessages, VerboseLogOnATerminalHasNoProgressBarBetweenItsLines)
{
    TTerminal terminal;
    const std::string shown = OnTerminal(terminal, {"-v", Dump});
    EXPECT_NE(shown.find("block 127 reply"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("\r["), std::string::npos) << shown;
    EXPECT_EQ(shown.find("connecting to the server"), std::string::npos) << shown;
}

// A terminal of 30 columns: every state of the bar fits on one line.
TEST_F(CliMessages, ProgressBarOnANarrowTerminalDoesNotWrap)
{
    TTerminal terminal;
    terminal.SetColumns(30);
    const std::string shown = OnTerminal(terminal, {Dump});
    EXPECT_NE(shown.find("] 100%"), std::string::npos) << shown;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= shown.size(); ++i) {
        if (i == shown.size() || shown[i] == '\r' || shown[i] == '\n') {
            const std::string piece = shown.substr(start, i - start);
            if (piece.find('[') == 0) {
                EXPECT_LT(piece.size(), 30u) << piece;
            }
            start = i + 1;
        }
    }
}

// Ctrl+C typed while the tool is connecting: the terminal shows ^C where the cursor stands, after
// the connecting line, and the message that follows starts on a line of its own.
TEST_F(CliMessages, MessageAfterCtrlCStartsOnALineOfItsOwn)
{
    TTerminal terminal;
    // The terminal becomes the read-out's controlling terminal, as a shell's is: setsid gives it
    // a session of its own, whose foreground group takes the typed Ctrl+C.
    std::vector<std::string> argv{"/bin/sh", "-c", "exec setsid -c -w \"$@\" <\"$0\"",
                                  terminal.DeviceName()};
    for (const std::string& arg : Command({"--stall-after", "1"}, {Dump}))
        argv.push_back(arg);
    TProcess process(argv, {"LC_ALL=C"}, Dir.Path() + "/stdout", terminal.DeviceName());
    ASSERT_TRUE(terminal.WaitFor("connecting to the server...", process, HangGuard))
        << terminal.Output();
    terminal.Type("\x03");
    EXPECT_EQ(terminal.WaitForExit(process, HangGuard), 130) << terminal.Output();
    EXPECT_NE(terminal.Output().find("^C\r\nsrvdiag-cli: interrupted; no dump was written\r\n"),
              std::string::npos)
        << terminal.Output();
}

} // namespace
