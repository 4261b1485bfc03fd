// The protocol log of srvdiag-cli -v, fed as the worker feeds it.

#include "app/cli/cliargs.h"
#include "app/cli/protocollog.h"
#include "serial/comerror.h"
#include "tests/e2e/e2etrace.h"

#include <gtest/gtest.h>

namespace {

// The log's lines without their time stamps.
std::vector<std::string> Texts(const std::string& lines)
{
    std::vector<std::string> texts;
    std::size_t from = 0;
    while (from < lines.size()) {
        const std::size_t end = lines.find('\n', from);
        const std::string line = lines.substr(from, end - from);
        const std::size_t mark = line.find(" ms  ");
        texts.push_back(mark == std::string::npos ? "?" + line : line.substr(mark + 5));
        from = end + 1;
    }
    return texts;
}

} // namespace

TEST(ProtocolLog, LogsPortStepsAndDecodedExchangesAndAskedForEachToBePrinted)
{
    int wakes = 0;
    TProtocolLog log([&] { ++wakes; });
    log.TraceCleared();
    log.TraceCleared(); // the worker clears more than once as an attempt begins
    log.TraceAppended("USB/dev/ttyACM0\r");
    log.PortStepDone(TPortStep::Opened);
    log.PortStepDone(TPortStep::DtrOn);
    log.PortStepDone(TPortStep::RtsOff);
    log.PortStepDone(TPortStep::InputPurged);
    log.TraceAppended("<0\r");
    log.PortFailed("read", EComError("Timeout", 0, ekTimeout)); // its exchange's line tells it
    log.TraceAppended(">-1\r");
    log.TraceAppended("!");
    log.PortFailed("write", EComError("Input/output error", 5, ekDeviceGone));
    log.TraceAppended("<0\r");
    log.InputOutOfStep(2);
    log.TraceAppended(">-1\r");
    EXPECT_GE(wakes, 9);
    EXPECT_EQ(
        Texts(log.TakeLines()),
        (std::vector<std::string>{"attempt on /dev/ttyACM0", "port opened: DTR off, RTS on",
                                  "lines: DTR on, RTS on", "lines: DTR on, RTS off", "input purged",
                                  "probe: sent 0x00, received none: waking follows",
                                  "write failed: Input/output error",
                                  "2 bytes were already waiting: out of step, taken as no answer "
                                  "and left unread",
                                  "wake 1: sent 0x00 (write failed), no answer (tolerated)"}));
    EXPECT_EQ(log.TakeLines(), "");
    EXPECT_EQ(Texts(log.Finish()),
              (std::vector<std::string>{"stopped: interrupted at the wake bytes"}));
}

TEST(ProtocolLog, ANewAttemptEndsTheLastWalkAndStartsANewOne)
{
    TProtocolLog log([] {});
    log.TraceAppended("USB/dev/ttyACM0\r<0\r>-1\r");
    log.TraceCleared();
    EXPECT_EQ(Texts(log.TakeLines()).back(), "stopped: interrupted at the wake bytes");
    log.TraceAppended(ConnectTrace(std::string("\x11") + "VADOZIROZA000000") +
                      LinkCheckTrace(true));
    const std::vector<std::string> texts = Texts(log.TakeLines() + log.Finish());
    EXPECT_EQ(texts.back(), "stopped: server answered the first link-check byte, which it must "
                            "ignore");
    EXPECT_EQ(log.Verdict().Fault, TTraceFault::Echo);
}

TEST(CliArgs, VerboseIsShortVersionLongAndExplainTakesATraceAndJson)
{
    const auto parse = [](std::vector<std::string> args) {
        args.insert(args.begin(), "srvdiag-cli");
        return ParseCliArgs(args, "1.0");
    };
    EXPECT_TRUE(parse({"-v", "out.DMP"}).Args.Verbose);
    EXPECT_TRUE(parse({"--verbose", "out.DMP"}).Args.Verbose);
    EXPECT_FALSE(parse({"out.DMP"}).Args.Verbose);
    EXPECT_EQ(parse({"--version"}).Action, TCliParse::caVersion);

    const TCliParse own = parse({"explain"});
    EXPECT_EQ(own.Action, TCliParse::caExplain);
    EXPECT_TRUE(own.Explain.Trace.empty());
    EXPECT_FALSE(own.Explain.Json);
    const TCliParse given = parse({"explain", "--json", "a.ERR", "--lang", "nl"});
    EXPECT_EQ(given.Action, TCliParse::caExplain);
    EXPECT_EQ(given.Explain.Trace, "a.ERR");
    EXPECT_TRUE(given.Explain.Json);
    EXPECT_EQ(given.Args.LangIndex, 1);
    EXPECT_EQ(parse({"explain", "a.ERR", "b.ERR"}).Action, TCliParse::caError);
    const TCliParse help = parse({"explain", "--help"});
    EXPECT_EQ(help.Action, TCliParse::caHelp);
    EXPECT_NE(help.Text.find("TRACE"), std::string::npos) << help.Text;
    EXPECT_NE(help.Text.find("--json"), std::string::npos) << help.Text;
}

TEST(ProtocolLog, WithoutAWakeItKeepsOnlyTheVerdictWithALostLineToldApart)
{
    TProtocolLog log(nullptr);
    log.TraceAppended(ConnectTrace(std::string("\x11") + "VADOZIROZA000000") +
                      LinkCheckTrace(false) + BlockRequestEntry(0));
    log.PortFailed("read", EComError("Input/output error", 5, ekDeviceGone));
    log.TraceAppended("!");
    EXPECT_EQ(log.TakeLines() + log.Finish(), "");
    EXPECT_EQ(VerdictText(log.Verdict(), 0), "line lost at block 0");
}
