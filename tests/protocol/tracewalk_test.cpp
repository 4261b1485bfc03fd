// The trace walk: every kind of attempt the worker records, decoded to the stage, block and kind
// where it stopped; damaged and foreign files refused with a reason.

#include "protocol/tracewalk.h"
#include "tests/e2e/e2etrace.h"

#include <gtest/gtest.h>

namespace {

const std::string Ident = std::string("\x11") + "VADOZIROZA4711[Z";
const std::string Memory(1536, '\x5A');

std::string Connected()
{
    return ConnectTrace(Ident) + LinkCheckTrace(false);
}

std::string Blocks(int count)
{
    std::string trace;
    for (int block = 0; block < count; ++block)
        trace += BlockTrace(block, Memory);
    return trace;
}

std::string Repeat(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

// The reply to a block request with the reply checksum byte replaced.
std::string BlockWithChecksum(int block, int checksum)
{
    std::string answer = ">1 2 3 76 " + std::to_string(checksum) + " ";
    for (int i = 0; i < 12; ++i)
        answer += "90 ";
    return BlockRequestEntry(block) + answer + "\r";
}

struct TCase
{
    const char* Name;
    std::string Trace;
    TTraceStage Stage;
    TTraceFault Fault;
    int StepOrBlock; // the identification or link-check step, or the block; -1 for neither
};

} // namespace

TEST(TraceWalk, EachRecordEndsWithTheStageBlockAndKindWhereItStopped)
{
    using S = TTraceStage;
    using F = TTraceFault;
    std::string badIdent = Ident;
    badIdent[10] = 'B';
    const std::string silentByte = "<0\r>-1\r";
    const TCase cases[] = {
        {"empty", "", S::Discovery, F::NothingExchanged, -1},
        {"open failed", "USB/dev/ttyACM0\r", S::Port, F::PortNotOpened, -1},
        {"complete", Connected() + ShutdownTrace() + Blocks(128), S::ReadOut, F::None, -1},
        {"silent server", "USB/dev/ttyACM0\r" + Repeat(silentByte, 5) + "<128\r>-1\r", S::Probe,
         F::NoAnswer, -1},
        {"unplugged at the probe",
         "USB/dev/ttyACM0\r<0\r>-1\r" + Repeat("!<0\r>-1\r", 4) + "!<128\r>-1\r", S::Probe,
         F::LineLost, -1},
        {"wrong step 2", "USB/dev/ttyACM0\r<0\r>0\r<0\r>0\r<128\r>17\r<0\r>84\r", S::Identification,
         F::WrongAnswer, 2},
        {"silent from step 4",
         "USB/dev/ttyACM0\r<0\r>0\r<0\r>0\r<128\r>17\r<0\r>85\r<165\r>240\r<85\r>-1\r",
         S::Identification, F::NoAnswer, 4},
        {"other identification", ConnectTrace(badIdent), S::Identification, F::IdentMismatch, 19},
        {"kept identifying on the probe", "USB/dev/ttyACM0\r<0\r>85\r" + Repeat("<85\r>65\r", 17),
         S::Probe, F::ProbeOutOfStep, -1},
        {"echoed link check", ConnectTrace(Ident) + LinkCheckTrace(true), S::LinkCheck, F::Echo, 1},
        {"silent link check", ConnectTrace(Ident) + "<0\r>-1\r<0\r>-1\r", S::LinkCheck, F::NoAnswer,
         2},
        {"shutdown refused", Connected() + "<1 4 134 \r>1 3 21 \r", S::Shutdown, F::ShutdownRefused,
         -1},
        {"shutdown unanswered", Connected() + "<1 4 134 \r!", S::Shutdown, F::NoAnswer, -1},
        {"silent at block 50", Connected() + Blocks(50) + BlockRequestEntry(50) + "!", S::Block,
         F::NoAnswer, 50},
        {"checksum in block 3", Connected() + Blocks(3) + BlockWithChecksum(3, 0), S::Block,
         F::WrongChecksum, 3},
        {"acknowledgement of block 0",
         Connected() + BlockRequestEntry(0) + ">1 2 3 7 0 0 0 0 0 0 0 0 0 0 0 0 0 \r", S::Block,
         F::WrongAck, 0},
        {"interrupted after block 19", Connected() + Blocks(20), S::Block, F::Stopped, 20},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTraceWalk walk = WalkTrace(c.Trace);
        ASSERT_FALSE(walk.Error) << *walk.Error;
        EXPECT_EQ(walk.Verdict.Stage, c.Stage);
        EXPECT_EQ(walk.Verdict.Fault, c.Fault);
        if (c.Stage == S::Block) {
            EXPECT_EQ(walk.Verdict.Block, c.StepOrBlock);
        } else if (c.StepOrBlock >= 0) {
            EXPECT_EQ(walk.Verdict.Step, c.StepOrBlock);
        }
        EXPECT_EQ(walk.Steps.empty(), c.Trace.empty());
    }
}

TEST(TraceWalk, DecodesEachExchangeWithWhatWasExpectedAndReceived)
{
    const TTraceWalk walk = WalkTrace(Connected() + Blocks(1) + BlockWithChecksum(1, 7));
    ASSERT_FALSE(walk.Error);
    std::vector<std::string> lines;
    for (const TTraceStep& step : walk.Steps)
        lines.push_back(step.Text);
    ASSERT_EQ(lines.size(), 29u);
    EXPECT_EQ(lines[0], "attempt on /dev/ttyACM0");
    EXPECT_EQ(lines[1], "probe: sent 0x00, received 0x00: waking follows");
    EXPECT_EQ(lines[2], "wake 1: sent 0x00, received 0x00: awake");
    EXPECT_EQ(lines[3],
              "identification step 1: sent 0x80, expected 0x01..0xFF, received 0x11 - ok");
    EXPECT_EQ(lines[6], "identification step 4: sent 0x55, expected an identification character, "
                        "received 0x56 'V' - ok");
    EXPECT_EQ(lines[22], "identification text 0x11 VADOZIROZA4711[Z: accepted");
    EXPECT_EQ(lines[23], "link check 1: sent 0x00, expected no answer, received none - ok");
    EXPECT_EQ(lines[25], "block 0 request: sent 42 FF 80 89, poll bytes C1..CD");
    EXPECT_EQ(lines[26], "block 0 reply: acknowledged 01 02 03 4C, expected 01 02 03 4C, "
                         "checksum received 0xC0 computed 0xC0, data 5A 5A 5A 5A 5A 5A 5A 5A 5A "
                         "5A 5A 5A - ok");
    EXPECT_NE(lines.back().find("checksum received 0x07 computed "), std::string::npos);
    EXPECT_FALSE(walk.Steps.back().Ok);
    EXPECT_EQ(walk.Verdict.BlocksRead, 1);
    EXPECT_EQ(walk.Verdict.Identification, Ident);
}

TEST(TraceWalk, FedPieceByPieceItWalksAsTheWholeRecord)
{
    const std::string trace = Connected() + Blocks(2) + BlockRequestEntry(2) + "!";
    const TTraceWalk whole = WalkTrace(trace);
    TTraceWalker walker;
    std::vector<TTraceStep> steps;
    for (char c : trace)
        for (TTraceStep& step : walker.Feed(std::string(1, c)))
            steps.push_back(std::move(step));
    for (TTraceStep& step : walker.Finish())
        steps.push_back(std::move(step));
    ASSERT_EQ(steps.size(), whole.Steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(steps[i].Text, whole.Steps[i].Text);
    EXPECT_EQ(walker.Verdict().Fault, TTraceFault::NoAnswer);
    EXPECT_EQ(walker.Verdict().Block, 2);
}

TEST(TraceWalk, ADeviceReportedGoneMakesAMissingAnswerALostLine)
{
    TTraceWalker walker;
    walker.Feed(Connected() + Blocks(20) + BlockRequestEntry(20));
    walker.NoteLineLost();
    walker.Feed("!");
    walker.Finish();
    EXPECT_EQ(walker.Verdict().Stage, TTraceStage::Block);
    EXPECT_EQ(walker.Verdict().Fault, TTraceFault::LineLost);
    EXPECT_EQ(walker.Verdict().Block, 20);
}

TEST(TraceWalk, DamagedOrForeignFilesAreRefusedWithAReason)
{
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    for (const std::string& bad :
         {std::string("hello\r"), png, Memory, std::string("USB/dev/x\r<01\r"),
          std::string("USB/dev/x\r<0\r>-1"), std::string("USB/dev/x\r<5\r>0\r"),
          std::string("USB/dev/x\r>0\r"), Connected() + "<1 2 3 \r",
          Connected() + Blocks(1) + BlockTrace(0, Memory), Connected() + "!",
          Connected() + BlockRequestEntry(0) + ">1 2 3 \r", ConnectTrace(Ident) + "USB/dev/y\r"}) {
        const TTraceWalk walk = WalkTrace(bad);
        EXPECT_TRUE(walk.Error) << bad;
    }
}

TEST(TraceWalk, AWrongAnswerCarriesTheByteRequiredAndTheByteThatCame)
{
    const TTraceWalk step2 = WalkTrace("USB/dev/ttyACM0\r<0\r>0\r<0\r>0\r<128\r>17\r<0\r>84\r");
    EXPECT_EQ(step2.Verdict.Expected, 0x55);
    EXPECT_EQ(step2.Verdict.Received, 0x54);
    const TTraceWalk ack =
        WalkTrace(Connected() + BlockRequestEntry(0) + ">1 2 3 7 0 0 0 0 0 0 0 0 0 0 0 0 0 \r");
    EXPECT_EQ(ack.Verdict.Expected, 0x4C);
    EXPECT_EQ(ack.Verdict.Received, 0x07);
    // Step 1 wants a range, not one byte: nothing is named as expected.
    const TTraceWalk step1 = WalkTrace("USB/dev/ttyACM0\r<0\r>0\r<0\r>0\r<128\r>0\r");
    EXPECT_EQ(step1.Verdict.Fault, TTraceFault::WrongAnswer);
    EXPECT_EQ(step1.Verdict.Expected, -1);
    EXPECT_EQ(step1.Verdict.Received, 0);
}

TEST(TraceWalk, ARefusalNamesTheEntryWhereTheRecordWentWrong)
{
    // Entry 3 is an answer marked as a failed write, which the worker never writes.
    EXPECT_EQ(WalkTrace("USB/dev/x\r<0\r!>0\r").Error, "entry 3: not a byte or frame entry");
    EXPECT_EQ(WalkTrace("USB/dev/x\r<5\r>0\r").Error, "entry 2: byte 0x05 sent where 0x00 is due");
    EXPECT_EQ(WalkTrace("USB/dev/x\r<0\r>-").Error, "entry 3: the record ends inside an entry");
    EXPECT_EQ(WalkTrace("hello").Error, "entry 1: no attempt-start entry (\"USB\" and the device)");
    // After the verdict is decided, whatever follows is refused as such, well formed or not.
    const std::string echoed = ConnectTrace(Ident) + LinkCheckTrace(true);
    EXPECT_EQ(WalkTrace(echoed + "<0\r").Error, "entry 46: an entry after the attempt ended");
    EXPECT_EQ(WalkTrace(echoed + "<x\r").Error, "entry 46: an entry after the attempt ended");
}
