// srvdiag-cli explain on files that are no trace of a read-out: crafted, endless, or named
// outside ASCII. No server is needed.

#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2eprocess.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

TRunResult Explain(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{SRVDIAG_CLI_BIN, "explain"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, {"LC_ALL=", "LC_MESSAGES=", "LANG="}, HangGuard);
}

} // namespace

// A device name with terminal controls in a crafted trace reaches the terminal escaped, in the
// text and in the messages; --json keeps its own escapes, and a name outside ASCII is kept
// letter for letter there.
TEST(CliExplain, ControlBytesOfATraceNeverReachTheTerminal)
{
    TTempDir dir;
    const std::string trace = dir.Path() + "/d\xC3\xBCmp.ERR"; // "dümp.ERR" in UTF-8
    WriteFile(trace, "USB/dev/tty\x1b]0;owned\x07\x1b[2J\x9b"
                     "1mACM0\r");

    const TRunResult text = Explain({trace});
    EXPECT_EQ(text.ExitCode, 0);
    EXPECT_EQ(text.Output.find_first_of("\x1b\x07\x9b"), std::string::npos) << text.Output;
    EXPECT_NE(text.Output.find("attempt on /dev/tty\\x1b]0;owned\\x07\\x1b[2J\\x9b1mACM0\n"),
              std::string::npos)
        << text.Output;

    const TRunResult json = Explain({"--json", trace});
    EXPECT_EQ(json.ExitCode, 0);
    EXPECT_EQ(json.Output.rfind("{\"trace\":\"" + trace + "\",", 0), 0u) << json.Output;
    EXPECT_NE(json.Output.find("\"device\":\"/dev/tty\\u001b]0;owned\\u0007\\u001b[2J"),
              std::string::npos)
        << json.Output;

    const std::string crafted = dir.Path() + "/\x1b]0;owned\x07";
    WriteFile(crafted, "no trace");
    const TRunResult refused = Explain({crafted});
    EXPECT_EQ(refused.ExitCode, 65);
    EXPECT_EQ(refused.Errors.find('\x1b'), std::string::npos) << refused.Errors;
    EXPECT_NE(refused.Errors.find("/\\x1b]0;owned\\x07 is not a trace"), std::string::npos)
        << refused.Errors;
}

// A file whose size the system gives as 0 is read only up to the bound, and a FIFO is never
// waited on.
TEST(CliExplain, FilesOfNoSizeOrNoEndAreRefusedAtOnce)
{
    if (::access("/proc/self/pagemap", R_OK) == 0) {
        const TRunResult endless = Explain({"/proc/self/pagemap"});
        EXPECT_EQ(endless.ExitCode, 66);
        EXPECT_EQ(endless.Errors, "srvdiag-cli: /proc/self/pagemap is too large to be a trace\n");
    }
    TTempDir dir;
    const std::string fifo = dir.Path() + "/fifo.ERR";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const TRunResult waiting = Explain({fifo});
    EXPECT_EQ(waiting.ExitCode, 66);
    EXPECT_EQ(waiting.Errors, "srvdiag-cli: " + fifo + " is not a regular file\n");
}
