// What srvdiag-cli says about a verdict: the sentence for each kind of stop, in English and Dutch,
// and a cause for each.

#include "app/cli/verdicttexts.h"

#include <gtest/gtest.h>

namespace {

TTraceVerdict Verdict(TTraceStage stage, TTraceFault fault, int stepOrBlock = -1, int expected = -1,
                      int received = -1)
{
    TTraceVerdict v;
    v.Stage = stage;
    v.Fault = fault;
    if (stage == TTraceStage::Block)
        v.Block = stepOrBlock;
    else
        v.Step = stepOrBlock < 0 ? 0 : stepOrBlock;
    v.Expected = expected;
    v.Received = received;
    v.Device = "/dev/ttyACM0";
    return v;
}

} // namespace

TEST(VerdictTexts, EachVerdictHasItsSentenceInBothLanguagesAndACause)
{
    using S = TTraceStage;
    using F = TTraceFault;
    const struct
    {
        TTraceVerdict Verdict;
        const char* English;
    } cases[] = {
        {Verdict(S::Discovery, F::NothingExchanged), "no server was found, nothing was exchanged"},
        {Verdict(S::Port, F::PortNotOpened), "port /dev/ttyACM0 could not be opened"},
        {Verdict(S::ReadOut, F::None), "all 1536 bytes were read"},
        {Verdict(S::Probe, F::NoAnswer), "no answer to the probe"},
        {Verdict(S::Probe, F::LineLost), "line lost at the probe"},
        {Verdict(S::Identification, F::WrongAnswer, 2, 0x55, 0x54),
         "wrong answer to identification step 2 (0x54 instead of 0x55)"},
        {Verdict(S::Identification, F::WrongAnswer, 1, -1, 0x00),
         "wrong answer to identification step 1 (0x00 instead of 0x01..0xFF)"},
        {Verdict(S::Identification, F::WrongAnswer, 4, -1, 0x5C),
         "wrong answer to identification step 4 (0x5C, not an identification character)"},
        {Verdict(S::Identification, F::NoAnswer, 4), "no answer to identification step 4"},
        {Verdict(S::Identification, F::IdentMismatch, 19), "identification text does not match"},
        {Verdict(S::Probe, F::ProbeOutOfStep), "server answered the probe out of step"},
        {Verdict(S::LinkCheck, F::Echo, 1),
         "server answered the first link-check byte, which it must ignore"},
        {Verdict(S::LinkCheck, F::NoAnswer, 2), "no answer to the link check"},
        {Verdict(S::Shutdown, F::ShutdownRefused), "server refused the shutdown command"},
        {Verdict(S::Shutdown, F::NoAnswer), "no answer to the shutdown command"},
        {Verdict(S::Block, F::NoAnswer, 50), "no answer to block 50"},
        {Verdict(S::Block, F::WrongChecksum, 3), "wrong checksum in block 3"},
        {Verdict(S::Block, F::WrongAck, 0, 0x4C, 0x07),
         "wrong acknowledgement of block 0 (0x07 instead of 0x4C)"},
        {Verdict(S::Block, F::Stopped, 20), "interrupted at block 20"},
        {Verdict(S::Block, F::LineLost, 20), "line lost at block 20"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.English);
        EXPECT_EQ(VerdictText(c.Verdict, 0), c.English);
        EXPECT_FALSE(VerdictText(c.Verdict, 1).empty());
        EXPECT_NE(VerdictText(c.Verdict, 1), c.English);
        EXPECT_FALSE(VerdictCause(c.Verdict, 0).empty());
        EXPECT_FALSE(VerdictCause(c.Verdict, 1).empty());
    }
    EXPECT_EQ(VerdictText(Verdict(S::Block, F::LineLost, 20), 1),
              "verbinding verbroken bij blok 20");
}
