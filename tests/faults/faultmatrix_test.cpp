// The fault matrix: every misbehaviour of the server at every position where it can strike, each
// run through the real worker loop and stages over a simulated line in simulated time, followed
// at once by a retry against a healthy server. Each scenario is a test of its own, named after
// its misbehaviour and position.

#include "app/cli/verdicttexts.h"
#include "protocol/traceparser.h"
#include "serial/comport.h"
#include "tests/faults/processcounts.h"
#include "tests/support/scratchdir.h"
#include "tests/support/simworker.h"

#include <cctype>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace fs = std::filesystem;

namespace {

struct TScenario
{
    TFaultKind Kind;
    TFaultPosition Position;
    std::uint8_t Page; // where the first attempt must end
};

std::vector<TScenario> Matrix()
{
    using P = TFaultPosition;
    using K = TFaultKind;
    const P bytes[] = {P::Probe, P::Wake, P::Ident1, P::Ident2, P::Ident3, P::Ident4, P::Ident19};
    const P frames[] = {P::Shutdown, P::Block0, P::Block1, P::Block63, P::Block127};
    const P blocks[] = {P::Block0, P::Block1, P::Block63, P::Block127};
    std::vector<TScenario> all;
    // Silence: the first link-check byte is the one place where silence is the right answer.
    for (P p : bytes)
        all.push_back({K::Silence, p, 9});
    all.push_back({K::Silence, P::Link2, 10});
    for (P p : frames)
        all.push_back({K::Silence, p, 10});
    // A wrong answer to the probe or a wake byte only makes the tool wake the server on.
    all.push_back({K::WrongAnswer, P::Probe, 7});
    all.push_back({K::WrongAnswer, P::Wake, 7});
    for (P p : {P::Ident1, P::Ident2, P::Ident3, P::Ident4, P::Ident19})
        all.push_back({K::WrongAnswer, p, 9});
    all.push_back({K::WrongAnswer, P::Link1, 10});
    all.push_back({K::WrongAnswer, P::Link2, 10});
    for (P p : frames)
        all.push_back({K::WrongAck, p, 10});
    for (P p : blocks)
        all.push_back({K::WrongChecksum, p, 10});
    for (P p : frames)
        all.push_back({K::ShortReply, p, 10});
    for (P p : bytes)
        all.push_back({K::HangUp, p, 9});
    for (P p : {P::Link1, P::Link2})
        all.push_back({K::HangUp, p, 10});
    for (P p : frames)
        all.push_back({K::HangUp, p, 10});
    return all;
}

// The trace file of a failed attempt: a well-formed trace of this device that records every
// byte the server side received (a frame cut by a hang-up may be recorded whole) and nothing the
// tool did not receive.
void CheckTrace(const std::string& trace, const TSimLine& line, const std::string& device)
{
    TParsedTrace parsed;
    const auto error = ParseTrace(trace, parsed);
    ASSERT_FALSE(error) << "trace malformed: " << *error;
    EXPECT_EQ(parsed.Device, device) << "trace names another device";
    const std::string sent = parsed.SentBytes();
    const std::string fromTool = line.FromTool();
    const std::size_t lastEntry = parsed.Entries.empty() ? 0 : parsed.Entries.back().Bytes.size();
    EXPECT_TRUE(sent.compare(0, fromTool.size(), fromTool) == 0 &&
                sent.size() - fromTool.size() <= lastEntry)
        << "trace's sent bytes differ from what the server received (" << sent.size() << " traced, "
        << fromTool.size() << " received)";
    const std::string received = parsed.ReceivedBytes();
    EXPECT_EQ(line.ToTool().compare(0, received.size(), received), 0)
        << "trace holds bytes the server did not send";
}

// What srvdiag-cli explain makes of the trace: the stage (and step or block) where the fault
// struck, a kind of failure that fits the misbehaviour, and a sentence that names the place.
void CheckExplanation(const std::string& trace, const TScenario& s)
{
    using P = TFaultPosition;
    using K = TFaultKind;
    using S = TTraceStage;
    using F = TTraceFault;
    const TTraceWalk walk = WalkTrace(trace);
    if (walk.Error) {
        ADD_FAILURE() << "explain refuses the trace: " << *walk.Error;
        return;
    }
    const TTraceVerdict& v = walk.Verdict;
    const std::string said = VerdictText(v, 0);
    S stage = S::Block;
    int step = 0;
    switch (s.Position) {
    case P::Probe:
        stage = S::Probe;
        break;
    case P::Wake:
        stage = S::Wake;
        break;
    case P::Ident1:
    case P::Ident2:
    case P::Ident3:
    case P::Ident4:
    case P::Ident19:
        stage = S::Identification;
        step = s.Position == P::Ident19 ? 19 : static_cast<int>(s.Position) - 1;
        break;
    case P::Link1:
    case P::Link2:
        stage = S::LinkCheck;
        break;
    case P::Shutdown:
        stage = S::Shutdown;
        break;
    default:
        break;
    }
    const bool placed = v.Stage == stage && (step == 0 || v.Step == step) &&
                        (stage != S::Block || v.Block == BlockOf(s.Position));
    bool fits = false;
    switch (s.Kind) {
    case K::Silence:
    case K::ShortReply:
        fits = v.Fault == F::NoAnswer;
        break;
    case K::HangUp:
        fits = v.Fault == F::NoAnswer || v.Fault == F::LineLost;
        break;
    case K::WrongAnswer:
        fits = v.Fault == F::WrongAnswer || v.Fault == F::Echo;
        break;
    case K::WrongAck:
        fits = v.Fault == (stage == S::Shutdown ? F::ShutdownRefused : F::WrongAck);
        break;
    case K::WrongChecksum:
        fits = v.Fault == F::WrongChecksum;
        break;
    default:
        break;
    }
    const std::string place = stage == S::Block ? "block " + std::to_string(BlockOf(s.Position))
                              : step > 0        ? "step " + std::to_string(step)
                                                : "";
    EXPECT_TRUE(placed && fits && said.find(place) != std::string::npos)
        << "explain says \"" << said << "\" (" << StageName(v.Stage) << " " << v.Step << "/"
        << v.Block << ", " << FaultName(v.Fault) << ")";
}

// "wrong answer" and "ident step 4" become WrongAnswer and IdentStep4.
std::string TestName(const char* words)
{
    std::string name;
    bool upper = true;
    for (const char* c = words; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)) == 0) {
            upper = true;
            continue;
        }
        name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
        upper = false;
    }
    return name;
}

class FaultMatrix : public ::testing::TestWithParam<TScenario>
{
};

TEST_P(FaultMatrix, EndsOnItsPageKeepsTheFilesAndFreesEverything)
{
    const TScenario& s = GetParam();
    // ThreadSanitizer starts a helper thread of its own along with the first thread: let it do
    // so before the threads are counted.
    std::thread([] {}).join();
    const std::size_t fds = OpenDescriptorCount();
    const std::size_t threads = ThreadCount();
    const TScratchDir scratch;
    const fs::path& dir = scratch.Path();
    const fs::path dump = dir / "memory.DMP";
    const fs::path traceFile = dir / "srvdiag.ERR";
    const std::string oldDump = "an earlier dump";
    WriteFile(dump, oldDump);
    {
        TSimWorker sim(dir / "srvdiag.INI", TSimLine::Paced(), s.Kind, s.Position);
        TTestHost& host = sim.Host;
        ASSERT_TRUE(sim.ToPage4(dump.string(), true));
        const std::string device = sim.Line.DeviceName();
        host.Next(); // page 5: connect, then read
        ASSERT_TRUE(sim.Settle()) << "worker did not settle";
        EXPECT_TRUE(sim.Line.Struck()) << "the fault never struck";
        EXPECT_EQ(host.Page(), s.Page);
        if (s.Page == 7) {
            EXPECT_EQ(ReadFile(dump), PatternImage()) << "dump is not the memory image";
            EXPECT_FALSE(fs::exists(traceFile)) << "trace file written after a success";
        } else {
            EXPECT_EQ(ReadFile(dump), oldDump) << "earlier dump file changed";
            ASSERT_TRUE(fs::exists(traceFile)) << "no trace file";
            CheckTrace(ReadFile(traceFile), sim.Line, device);
            CheckExplanation(ReadFile(traceFile), s);
        }

        // Retry as the user does: Next from a failure page (Back and Next after a success).
        if (host.Page() == 7) {
            host.Back();
            ASSERT_TRUE(sim.Settle()) << "Back did not settle";
        }
        host.Next();
        ASSERT_TRUE(sim.Settle());
        EXPECT_EQ(host.Page(), 4) << "retry did not reach page 4";
        EXPECT_FALSE(host.SerIF().Active()) << "port still open on page 4";
        EXPECT_EQ(host.SerIF().Tag(), 0);
        EXPECT_FALSE(sim.Line.Held()) << "device still held";
        sim.Line.Heal();
        fs::remove(traceFile);
        WriteFile(dump, oldDump);
        host.Next();
        ASSERT_TRUE(sim.Settle()) << "retry still running";
        EXPECT_EQ(host.Page(), 7) << "retry against a healthy server";
        EXPECT_EQ(ReadFile(dump), PatternImage()) << "retry's dump is not the memory image";
        EXPECT_EQ(sim.Hangs(), 0) << "a wait with no end";
        sim.Close();
    }
    EXPECT_EQ(ThreadCountSettledAt(threads), threads) << "threads left behind";
    EXPECT_EQ(OpenDescriptorCount(), fds) << "descriptors left open";
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "memory leaked";
#endif
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultMatrix, ::testing::ValuesIn(Matrix()),
                         [](const ::testing::TestParamInfo<TScenario>& info) {
                             return TestName(FaultKindName(info.param.Kind)) + "At" +
                                    TestName(FaultPositionName(info.param.Position));
                         });

} // namespace
