#include "tests/support/listlister.h"
#include "tests/worker/simrig.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

std::string Repeat(const std::string& entry, int times)
{
    std::string s;
    for (int i = 0; i < times; ++i)
        s += entry;
    return s;
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(BringUp, GoodServerIsIdentifiedAndTheLinkChecked)
{
    TStageRig rig;
    rig.BringUp();
    EXPECT_EQ(rig.Worker.ResultCode(), 0);
    EXPECT_EQ(rig.Port().Tag(), 1);
    EXPECT_TRUE(rig.Port().Active());
    EXPECT_EQ(rig.Port().Timeouts().ReadConstant(), 350);
    EXPECT_EQ(rig.Port().DeviceName(), rig.Line.DeviceName());
    EXPECT_EQ(rig.Worker.Trace, GoodConnectTrace(rig.Line.DeviceName(), DefaultIdentification()));

    rig.Worker.CheckLink(rig.Port());
    EXPECT_TRUE(rig.Worker.LinkOk);
    EXPECT_EQ(rig.Worker.ResultCode(), 0);
    EXPECT_EQ(rig.Worker.Trace, GoodConnectTrace(rig.Line.DeviceName(), DefaultIdentification()) +
                                    "<0\r>-1\r<0\r>0\r");

    // A second attempt with the port still held closes and reopens it, from scratch.
    rig.BringUp();
    EXPECT_EQ(rig.Worker.ResultCode(), 0);
    EXPECT_EQ(rig.Port().Tag(), 1);
    EXPECT_EQ(rig.Worker.Trace, GoodConnectTrace(rig.Line.DeviceName(), DefaultIdentification()));
}

TEST(BringUp, SilentServerGivesTheSixTimeoutTrace)
{
    TStageRig rig(TSimOptions{.Silent = true});
    rig.BringUp();
    EXPECT_EQ(rig.Worker.ResultCode(), 2);
    EXPECT_EQ(rig.Worker.Trace,
              "USB" + rig.Line.DeviceName() + "\r" + Repeat("<0\r>-1\r", 5) + "<128\r>-1\r");
    EXPECT_EQ(rig.Port().Timeouts().ReadConstant(), 50);
    EXPECT_EQ(rig.Port().Tag(), 1); // held open until the next attempt or an input page
}

TEST(BringUp, ServersThatMustBeRejected)
{
    std::string wrongEleventh = DefaultIdentification();
    wrongEleventh[10] = 'B';
    std::string wrongFirst = DefaultIdentification();
    wrongFirst[0] = 0x12;
    std::string lowerCase = DefaultIdentification();
    lowerCase[14] = 'q';
    std::string backslash = DefaultIdentification();
    backslash[15] = '\\';
    struct TCase
    {
        const char* Name;
        TSimOptions Options;
        std::size_t IdentSteps; // 0x55 bytes sent in identification
        std::string Tail = "";  // how the trace ends, when it matters
    };
    const TCase cases[] = {
        {"eleventh byte", TSimOptions{.Identification = wrongEleventh}, 16},
        {"first byte", TSimOptions{.Identification = wrongFirst}, 16},
        {"lower case", TSimOptions{.Identification = lowerCase}, 14},
        {"backslash", TSimOptions{.Identification = backslash}, 15},
        {"zero first", TSimOptions{.Identification = std::string(1, '\0') + "VADOZIROZAK7Q2[9"}, 0,
         "<128\r>0\r"},
        {"stray bytes", TSimOptions{.StrayBytes = true}, 0, "<128\r>-1\r"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TStageRig rig(c.Options);
        rig.BringUp();
        EXPECT_EQ(rig.Worker.ResultCode(), 2);
        EXPECT_EQ(rig.Port().Timeouts().ReadConstant(), 50);
        const std::string& trace = rig.Worker.Trace;
        EXPECT_EQ(Count(trace, "<85\r"), c.IdentSteps) << trace;
        if (!c.Tail.empty()) {
            EXPECT_EQ(trace.substr(trace.size() - c.Tail.size()), c.Tail) << trace;
        }
    }
    // "[" is an identification character.
    std::string bracket = DefaultIdentification();
    bracket[16] = '[';
    TStageRig rig(TSimOptions{.Identification = bracket});
    rig.BringUp();
    EXPECT_EQ(rig.Worker.ResultCode(), 0);
}

TEST(BringUp, IdentificationTextIsKeptAsFarAsTheServerSentIt)
{
    std::string wrongEleventh = DefaultIdentification();
    wrongEleventh[10] = 'B';
    std::string lowerCase = DefaultIdentification();
    lowerCase[14] = 'q';
    const std::pair<std::string, std::string> cases[] = {
        {DefaultIdentification(), DefaultIdentification()},
        {wrongEleventh, wrongEleventh},       // read in full, then rejected
        {lowerCase, lowerCase.substr(0, 14)}, // up to the first wrong character
    };
    for (const auto& [sent, kept] : cases) {
        SCOPED_TRACE(sent);
        TStageRig rig(TSimOptions{.Identification = sent});
        rig.BringUp();
        EXPECT_EQ(rig.Worker.ServerIdText(), kept);
    }
    TStageRig silent(TSimOptions{.Silent = true});
    silent.BringUp();
    EXPECT_EQ(silent.Worker.ServerIdText(), "");
}

TEST(BringUp, ProbeAnsweredWith55)
{
    {
        // ... then silent: woken and identified.
        TStageRig rig(TSimOptions{.ProbeReply = TProbeReply::FiftyFiveThenSilent});
        rig.BringUp();
        EXPECT_EQ(rig.Worker.ResultCode(), 0);
        EXPECT_EQ(rig.Worker.Trace.rfind(
                      "USB" + rig.Line.DeviceName() + "\r<0\r>85\r<85\r>-1\r<0\r>0\r", 0),
                  0u)
            << rig.Worker.Trace;
    }
    {
        // ... then 17 identification characters: rejected without waking or identification.
        TStageRig rig(TSimOptions{.ProbeReply = TProbeReply::FiftyFiveThenIdent});
        rig.BringUp();
        EXPECT_EQ(rig.Worker.ResultCode(), 2);
        EXPECT_EQ(Count(rig.Worker.Trace, "<85\r"), 17u);
        EXPECT_EQ(Count(rig.Worker.Trace, "<0\r"), 1u);
        EXPECT_EQ(Count(rig.Worker.Trace, "<128\r"), 0u);
    }
}

TEST(BringUp, MissingDeviceLeavesOnlyTheAttemptStart)
{
    TStageRig rig;
    TListLister gone(
        std::vector<TUsbDevice>{{"USB\\VID_04D8&PID_FE88&REV_0100", "Sim (ttySIMgone)"}});
    rig.Worker.FindServer(gone);
    EXPECT_EQ(rig.Worker.ResultCode(), 0);
    rig.Worker.BringUpLink();
    EXPECT_EQ(rig.Worker.ResultCode(), 2);
    EXPECT_EQ(rig.Worker.Trace, "USB/dev/ttySIMgone\r");
    EXPECT_EQ(rig.Port().Tag(), 0);
    EXPECT_FALSE(rig.Port().Active());
}

// The host is told, with the portable kind, so that it can explain the port to its user.
TEST(BringUp, PortHeldByAnotherProgramIsReportedToTheHostAsBusy)
{
    TStageRig rig;
    TComPort holder(std::make_unique<TSimSerialPlatform>(rig.Line, rig.Clock));
    holder.SetDeviceName(rig.Line.DeviceName());
    holder.Open();
    rig.BringUp();
    EXPECT_EQ(rig.Worker.ResultCode(), 2);
    using TFailure = std::pair<std::string, TComErrorKind>;
    EXPECT_EQ(rig.Host.OpenFailures, (std::vector<TFailure>{{rig.Line.DeviceName(), ekBusy}}));
}

TEST(BringUp, DiscoveryFailuresEndTheStageBeforeThePort)
{
    TStageRig rig;
    TListLister none(std::vector<TUsbDevice>{
        {"USB\\VID_04D8&PID_FE88&REV_0100", "Sim without port"}, SimDevice(rig.Line)});
    rig.Worker.FindServer(none);
    rig.Worker.BringUpLink();
    rig.Worker.CheckLink(rig.Port());
    EXPECT_EQ(rig.Worker.ResultCode(), 2);
    EXPECT_TRUE(rig.Worker.Trace.empty());
    EXPECT_TRUE(rig.Line.FromTool().empty());
}

TEST(LinkCheck, EchoOfTheFirstByteIsACommunicationError)
{
    TStageRig rig(TSimOptions{.EchoFirstLinkCheck = true});
    rig.BringUp();
    ASSERT_EQ(rig.Worker.ResultCode(), 0);
    rig.Worker.CheckLink(rig.Port());
    EXPECT_FALSE(rig.Worker.LinkOk);
    EXPECT_EQ(rig.Worker.ResultCode(), 3);
    // The second byte is never sent.
    EXPECT_EQ(rig.Worker.Trace,
              GoodConnectTrace(rig.Line.DeviceName(), DefaultIdentification()) + "<0\r>0\r");
}

// A server that stops taking bytes (a hung firmware, a stalled endpoint) must not hold the
// worker: a write it has not taken within the bound fails like any other, "!" in the trace.
TEST(StalledServer, WritesItNeverTakesFailWithinTheirBoundAndEndTheStage)
{
    {
        SCOPED_TRACE("after the probe: waking fails, the server is not found");
        TStageRig rig(TSimOptions{.StallAfter = 1});
        rig.BringUp();
        EXPECT_EQ(rig.Worker.ResultCode(), 2);
        EXPECT_EQ(rig.Worker.Trace,
                  "USB" + rig.Line.DeviceName() +
                      "\r<0\r>0\r<0\r>-1\r!<0\r>-1\r<0\r>-1\r!<0\r>-1\r<128\r>-1\r");
    }
    {
        SCOPED_TRACE("after the identification: the link check fails");
        TStageRig rig(TSimOptions{.StallAfter = 21});
        rig.BringUp();
        ASSERT_EQ(rig.Worker.ResultCode(), 0);
        rig.Worker.CheckLink(rig.Port());
        EXPECT_FALSE(rig.Worker.LinkOk);
        EXPECT_EQ(rig.Worker.ResultCode(), 3);
        EXPECT_EQ(rig.Worker.Trace,
                  GoodConnectTrace(rig.Line.DeviceName(), DefaultIdentification()) +
                      "<0\r>-1\r!<0\r");
    }
}

TEST(StalledServer, BackEndsAWriteItNeverTakesAtOnce)
{
    TStageRig rig(TSimOptions{.StallAfter = 21});
    rig.BringUp();
    ASSERT_EQ(rig.Worker.ResultCode(), 0);
    // No bound: only the Back can end the wait.
    rig.Port().Timeouts().SetWriteConstant(0);
    rig.Port().Timeouts().SetWriteMultiplier(0);
    ASSERT_TRUE(rig.Worker.SendByte(rig.Port(), 0)); // taken by nobody: stays pending
    // The next byte waits for that write; the Back comes five seconds into the wait.
    const TClock::TInstant backAt = rig.Clock.Now() + std::chrono::seconds(5);
    rig.Clock.At(backAt, [&rig] { rig.Worker.RequestBack(); });
    EXPECT_FALSE(rig.Worker.SendByte(rig.Port(), 0));
    EXPECT_EQ(rig.Clock.Now(), backAt);
    EXPECT_EQ(rig.Hangs(), 0);
}
