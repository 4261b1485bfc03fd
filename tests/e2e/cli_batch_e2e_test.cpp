// srvdiag-cli choosing among the servers present and reading one after another, inside the
// virtual server: --list, --identify, --port, --repeat and --wait.

#include "app/core/sha256.h"
#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2eprocess.h"
#include "tools/serversim/simoptions.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class CliServers : public ::testing::Test
{
protected:
    void SetUp() override { CopyProgram(SRVDIAG_CLI_BIN, Cli); }

    // The virtual server with serverOptions running srvdiag-cli with cliArgs; standard error
    // joins standard output, where the summaries and messages go.
    std::vector<std::string> Command(const std::vector<std::string>& serverOptions,
                                     const std::vector<std::string>& cliArgs) const
    {
        std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$@\" 2>&1", "sh", VIRTUALSERVER_BIN};
        argv.insert(argv.end(), serverOptions.begin(), serverOptions.end());
        argv.push_back("--");
        argv.push_back(Cli);
        argv.insert(argv.end(), cliArgs.begin(), cliArgs.end());
        return argv;
    }

    TRunResult Run(const std::vector<std::string>& serverOptions,
                   const std::vector<std::string>& cliArgs) const
    {
        return RunProgram(Command(serverOptions, cliArgs), {}, HangGuard);
    }

    std::string InDir(const std::string& name) const { return Dir.Path() + "/" + name; }

    TTempDir Dir;
    const std::string Cli = Dir.Path() + "/srvdiag-cli";
};

std::string Inverted(std::string image)
{
    for (char& byte : image)
        byte = static_cast<char>(~static_cast<unsigned char>(byte));
    return image;
}

TEST_F(CliServers, ListShowsEveryServerPresentWithItsPortAndUsbPath)
{
    const TRunResult none = Run({"--no-server"}, {"--list"});
    EXPECT_EQ(none.ExitCode, 2);
    EXPECT_EQ(none.Output, "srvdiag-cli: no server found (no USB device 04d8:fe88)\n");

    const TRunResult one = Run({}, {"--list"});
    EXPECT_EQ(one.ExitCode, 0);
    EXPECT_EQ(one.Output, "/dev/ttyACM0\t1-1\n");

    const TRunResult two = Run({"--two-ports"}, {"--list"});
    EXPECT_EQ(two.ExitCode, 0);
    EXPECT_EQ(two.Output, "/dev/ttyACM0\t1-1\n/dev/ttyACM1\t1-2\n");

    // A matching device without a port is listed as such, not left out.
    const TRunResult portless = Run({"--two-servers"}, {"--list"});
    EXPECT_EQ(portless.Output, "(no port)\t1-1\n/dev/ttyACM0\t1-2\n");
    EXPECT_FALSE(ReadFileIfExists(Cli + ".ERR")) << "a listing writes no trace";
}

TEST_F(CliServers, ListIdentifyShowsWhatEachServerSays)
{
    const TRunResult run = Run({"--two-ports"}, {"--list", "--identify"});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output, "/dev/ttyACM0\t1-1\tVADOZIROZAK7Q2[9\n"
                          "/dev/ttyACM1\t1-2\tVADOZIROZASECOND\n");

    const TRunResult wrong = Run({"--wrong-id"}, {"--list", "--identify"});
    EXPECT_EQ(wrong.ExitCode, 0);
    EXPECT_EQ(wrong.Output, "/dev/ttyACM0\t1-1\tnot identified (VADOZIROZBK7Q2[9)\n");
    EXPECT_FALSE(ReadFileIfExists(Cli + ".ERR")) << "an identification writes no trace";

    // The server is left as a connect leaves it: a read-out right after it succeeds.
    const std::string dump = InDir("after.DMP");
    const TRunResult after = RunProgram(
        {VIRTUALSERVER_BIN, "--", "/bin/sh", "-c",
         "\"$0\" --list --identify >/dev/null && exec \"$0\" \"$1\" >/dev/null", Cli, dump},
        {}, HangGuard);
    EXPECT_EQ(after.ExitCode, 0);
    EXPECT_TRUE(ReadFile(dump) == PatternImage());
}

TEST_F(CliServers, PortReadsTheSecondOfTwoServers)
{
    const std::string dump = InDir("second.DMP");
    const TRunResult run = Run({"--two-ports"}, {"--port", "/dev/ttyACM1", dump});
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(ReadFile(dump), Inverted(PatternImage())) << "the second server's memory";

    std::filesystem::remove(dump);
    const TRunResult absent = Run({"--two-ports"}, {"--port", "ttyACM7", dump});
    EXPECT_EQ(absent.ExitCode, 2) << absent.Output;
    EXPECT_EQ(absent.Output.rfind("srvdiag-cli: server not found: no server on port ttyACM7; "
                                  "servers present: /dev/ttyACM0, /dev/ttyACM1\n",
                                  0),
              0u)
        << absent.Output;
    const TRunResult listed = Run({"--two-servers"}, {"--list", "--port", "ttyACM7"});
    EXPECT_EQ(listed.ExitCode, 2);
    EXPECT_EQ(listed.Output, "srvdiag-cli: no server on port ttyACM7; servers present: (no port), "
                             "/dev/ttyACM0\n");
    EXPECT_FALSE(ReadFileIfExists(dump));
}

TEST_F(CliServers, RepeatReadsServersPluggedInOneAfterAnother)
{
    // Three servers; the second fails at block 50 on its first plug-in and is read when plugged
    // in again. Each SIGUSR1 unplugs the server present and plugs in the next one.
    const std::string out = InDir("out");
    TProcess process(
        Command({"--id", "AAAAA1", "--then", "--id", "BBBBB2", "--fault", "checksum", "--block",
                 "50", "--then", "--id", "BBBBB2", "--then", "--id", "CCCCC3"},
                {"--repeat", "--count", "3", "--json", InDir("{id}.DMP")}),
        {}, out);
    const auto waitForFile = [&](const std::string& name) {
        const auto deadline = std::chrono::steady_clock::now() + HangGuard;
        while (!ReadFileIfExists(InDir(name)) && std::chrono::steady_clock::now() < deadline &&
               !process.WaitFor(20ms)) {
        }
        return ReadFileIfExists(InDir(name)).has_value();
    };
    for (const char* name : {"AAAAA1.DMP", "BBBBB2.ERR", "BBBBB2.DMP"}) {
        ASSERT_TRUE(waitForFile(name)) << name << "\n" << ReadFile(out);
        kill(process.Pid(), SIGUSR1);
    }
    ASSERT_EQ(process.WaitFor(HangGuard), 0) << ReadFile(out);

    for (const char* name : {"AAAAA1.DMP", "BBBBB2.DMP", "CCCCC3.DMP"})
        EXPECT_EQ(ReadFile(InDir(name)), PatternImage()) << name;
    const std::string trace = ReadFile(InDir("BBBBB2.ERR"));
    EXPECT_EQ(trace.rfind("USB/dev/ttyACM1\r", 0), 0u) << "the second server's attempt";
    EXPECT_FALSE(ReadFileIfExists(Cli + ".ERR")) << "the program's own trace stays as it was";
    const std::string output = ReadFile(out);
    const std::string written = ": read the server's memory: 1536 bytes written to ";
    const std::string digest = ", SHA-256 " + Sha256Hex(PatternImage()) + "\n";
    for (const std::string& line :
         {"read-out 1, server AAAAA1" + written + InDir("AAAAA1.DMP") + digest,
          "read-out 2, server BBBBB2: communication error: wrong checksum in block 50; trace "
          "written to " +
              InDir("BBBBB2.ERR") + "; 'srvdiag-cli explain " + InDir("BBBBB2.ERR") +
              "' tells what went wrong\n",
          "read-out 3, server BBBBB2" + written + InDir("BBBBB2.DMP") + digest,
          "read-out 4, server CCCCC3" + written + InDir("CCCCC3.DMP") + digest,
          std::string("summary: 3 servers read, 1 read-out failed\n")})
        EXPECT_NE(output.find("srvdiag-cli: " + line), std::string::npos) << line << output;
    // With --json one object per read-out, each on a line of its own and numbered.
    for (int n = 1; n <= 4; ++n)
        EXPECT_NE(output.find("{\"schemaVersion\":1,\"readOut\":" + std::to_string(n) +
                              ",\"outcome\":\"" + (n == 2 ? "communication-error" : "success")),
                  std::string::npos)
            << n << output;
    EXPECT_EQ(output.find("\"readOut\":5"), std::string::npos) << output;
    EXPECT_NE(output.find("srvdiag-virtualserver: process "), std::string::npos)
        << "the virtual server names the process to send SIGUSR1";
}

// {n} numbers on after what an earlier run left in the folder (its dumps and its traces), so a
// second run replaces none of the first one's dumps.
TEST_F(CliServers, RepeatNumbersOnAfterAnEarlierRun)
{
    WriteFile(InDir("1.DMP"), "first run");
    WriteFile(InDir("3.ERR"), "first run's failed read-out");
    const TRunResult run = Run({}, {"--repeat", "--count", "1", InDir("{n}.DMP")});
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(ReadFile(InDir("1.DMP")), "first run");
    EXPECT_EQ(ReadFile(InDir("3.ERR")), "first run's failed read-out");
    EXPECT_EQ(ReadFile(InDir("4.DMP")), PatternImage());
    EXPECT_NE(run.Output.find("srvdiag-cli: read-out 4, server "), std::string::npos) << run.Output;
}

TEST_F(CliServers, WaitGivesUpAfterItsTimeout)
{
    const std::string dump = InDir("out.DMP");
    const TRunResult run = Run({"--no-server"}, {"--wait", "--timeout", "1", dump});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_EQ(run.Output, "srvdiag-cli: server not found: none appeared within 1 s\n");
    EXPECT_FALSE(ReadFileIfExists(dump));
}

TEST_F(CliServers, RepeatRefusesAMissingFolderBeforeWaitingForAServer)
{
    const TRunResult run = Run({}, {"--repeat", InDir("missing/{n}.DMP")});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Output.find("srvdiag-cli: the folder of OUTPUT does not exist: "),
              std::string::npos)
        << run.Output;
}

} // namespace
