// srvdiag-cli -v and explain, run inside the virtual server: the protocol log against what the
// server simulator saw, and the explanation of the trace a failed read-out left.

#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2eprocess.h"
#include "tools/serversim/simoptions.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

using namespace std::chrono_literals;

namespace {

struct TLogLine
{
    long Ms = 0;
    std::string Text;
};

// The protocol log's lines ("   1234 ms  text"); other lines on stderr are left out.
std::vector<TLogLine> LogLines(const std::string& stderrText)
{
    std::vector<TLogLine> lines;
    std::istringstream in(stderrText);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t mark = line.find(" ms  ");
        if (mark == std::string::npos || mark > 7 || line.find_first_not_of(' ') == mark)
            continue;
        lines.push_back({std::stol(line.substr(0, mark)), line.substr(mark + 5)});
    }
    return lines;
}

std::string FromHex(const std::string& run)
{
    std::string bytes;
    std::istringstream in(run);
    std::string part;
    while (in >> part)
        bytes += static_cast<char>(std::stoi(part, nullptr, 16));
    return bytes;
}

// Every byte the tool sent, as the log tells them: single bytes ("sent 0xNN"), the shutdown
// frame and each block request with its thirteen poll bytes.
std::string SentBytes(const std::vector<TLogLine>& log)
{
    std::string sent;
    for (const TLogLine& line : log) {
        const std::string& t = line.Text;
        if (const std::size_t at = t.find(": sent 0x"); at != std::string::npos) {
            sent += static_cast<char>(std::stoi(t.substr(at + 9, 2), nullptr, 16));
        } else if (t.rfind("shutdown command: sent ", 0) == 0) {
            sent += FromHex(t.substr(23));
        } else if (const std::size_t req = t.find(" request: sent "); req != std::string::npos) {
            sent += FromHex(t.substr(req + 15, 11));
            for (int poll = 0xC1; poll <= 0xCD; ++poll)
                sent += static_cast<char>(poll);
        }
    }
    return sent;
}

// The data of every good block reply, in order.
std::string DataRead(const std::vector<TLogLine>& log)
{
    std::string data;
    for (const TLogLine& line : log)
        if (const std::size_t at = line.Text.find(", data ");
            at != std::string::npos && line.Text.size() > 5 &&
            line.Text.compare(line.Text.size() - 5, 5, " - ok") == 0)
            data += FromHex(line.Text.substr(at + 7, 35));
    return data;
}

class CliLog : public ::testing::Test
{
protected:
    void SetUp() override { CopyProgram(SRVDIAG_CLI_BIN, Cli); }

    // Runs srvdiag-cli in the virtual server with its standard error in StderrFile.
    TRunResult Run(const std::vector<std::string>& serverOptions,
                   const std::vector<std::string>& cliArgs)
    {
        std::vector<std::string> argv{"/bin/sh", "-c",       "f=$1; shift; exec \"$@\" 2>\"$f\"",
                                      "sh",      StderrFile, VIRTUALSERVER_BIN,
                                      "--lines", Lines,      "--received",
                                      Received};
        argv.insert(argv.end(), serverOptions.begin(), serverOptions.end());
        argv.push_back("--");
        argv.push_back(Cli);
        argv.insert(argv.end(), cliArgs.begin(), cliArgs.end());
        return RunProgram(argv, {}, HangGuard);
    }

    TTempDir Dir;
    const std::string Cli = Dir.Path() + "/srvdiag-cli";
    const std::string Dump = Dir.Path() + "/out.DMP";
    const std::string Lines = Dir.Path() + "/lines";
    const std::string Received = Dir.Path() + "/received";
    const std::string StderrFile = Dir.Path() + "/stderr";
};

} // namespace

TEST_F(CliLog, VerboseLogOfAFullReadOutIsWhatTheSimulatorSaw)
{
    const TRunResult run = Run({}, {"-v", "--shutdown", Dump});
    ASSERT_EQ(run.ExitCode, 0) << ReadFile(StderrFile);
    const std::vector<TLogLine> log = LogLines(ReadFile(StderrFile));
    ASSERT_GT(log.size(), 280u) << ReadFile(StderrFile);

    // The bytes, frames and data as the simulator received and served them.
    ASSERT_EQ(ReadFile(Received).size(), 23u + 3u + 128u * 17u) << "bytes, shutdown, blocks";
    EXPECT_EQ(SentBytes(log), ReadFile(Received));
    EXPECT_EQ(DataRead(log), PatternImage());
    EXPECT_EQ(ReadFile(Dump), PatternImage());

    // The line changes in the order and with the pause the virtual device recorded.
    std::vector<std::string> lineSteps;
    long opened = -1, dtrOn = -1;
    for (const TLogLine& line : log) {
        if (line.Text.rfind("port opened", 0) == 0 || line.Text.rfind("lines: ", 0) == 0)
            lineSteps.push_back(line.Text);
        if (line.Text.rfind("port opened", 0) == 0)
            opened = line.Ms;
        if (line.Text == "lines: DTR on, RTS on")
            dtrOn = line.Ms;
    }
    EXPECT_EQ(lineSteps,
              (std::vector<std::string>{"port opened: DTR off, RTS on", "lines: DTR on, RTS on",
                                        "lines: DTR on, RTS off"}));
    const std::string record = ReadFile(Lines);
    const std::size_t off = record.find(" DTR=0 RTS=1\n");
    const std::size_t on = record.find(" DTR=1 RTS=1\n", off);
    const std::size_t rtsOff = record.find(" DTR=1 RTS=0\n", on);
    EXPECT_TRUE(off != std::string::npos && on != std::string::npos && rtsOff != std::string::npos)
        << record;
    EXPECT_GE(dtrOn - opened, 195) << "the pause after opening";

    for (std::size_t i = 1; i < log.size(); ++i)
        EXPECT_LE(log[i - 1].Ms, log[i].Ms) << log[i].Text;
    EXPECT_EQ(log.back().Text, "complete: all 1536 bytes were read");
}

TEST_F(CliLog, ExplainTellsTheTraceAFailedReadOutLeftAsTheLogDid)
{
    const TRunResult run = Run({"--fault", "checksum", "--block", "20"}, {"--verbose", Dump});
    ASSERT_EQ(run.ExitCode, 3);
    const std::vector<TLogLine> log = LogLines(ReadFile(StderrFile));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().Text, "stopped: wrong checksum in block 20");

    const TRunResult explain = RunProgram({Cli, "explain"}, {}, HangGuard);
    EXPECT_EQ(explain.ExitCode, 0);
    EXPECT_NE(explain.Output.find("\nResult: wrong checksum in block 20\n"), std::string::npos)
        << explain.Output;
    // The same decoded steps as the log, without the port steps the trace does not hold.
    std::string logged;
    for (const TLogLine& line : log)
        if (line.Text.rfind("port opened", 0) != 0 && line.Text.rfind("lines: ", 0) != 0 &&
            line.Text != "input purged" && line.Text.rfind("server accepted", 0) != 0 &&
            line.Text.rfind("stopped: ", 0) != 0)
            logged += line.Text + "\n";
    std::string told;
    std::istringstream in(explain.Output);
    std::string line;
    while (std::getline(in, line) && line.size() > 7 && line[5] == ' ' && line[6] == ' ')
        told += line.substr(7) + "\n";
    EXPECT_GT(std::count(told.begin(), told.end(), '\n'), 60);
    EXPECT_EQ(told, logged);

    const TRunResult json = RunProgram({Cli, "explain", "--json", Cli + ".ERR"}, {}, HangGuard);
    EXPECT_EQ(json.ExitCode, 0);
    EXPECT_NE(json.Output.find("\"stage\":\"block\",\"step\":null,\"block\":20,"
                               "\"fault\":\"wrong-checksum\""),
              std::string::npos)
        << json.Output;
}
