// Back and the close in the middle of a read-out and of a connect, in simulated time: they take
// effect at the worker's next byte, so the stage ends within two seconds of simulated time,
// whatever the machine's load, with the files as the read-out rules leave them.

#include "serial/comport.h"
#include "tests/support/scratchdir.h"
#include "tests/support/simworker.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class ReadOutCut : public ::testing::Test
{
protected:
    // A worker on page 4 against a server with these options; a Back or a close is requested
    // from the worker's own thread after the tool byte at which cut() first holds.
    std::unique_ptr<TSimWorker> Start(const TSimOptions& options, bool close,
                                      const std::function<bool(TSimLine&)>& cut)
    {
        auto sim = std::make_unique<TSimWorker>(Dir / "srvdiag.INI", options);
        EXPECT_TRUE(sim->ToPage4(Dump().string(), false));
        TSimWorker& s = *sim;
        s.Line.AfterToolByte = [this, &s, close, cut](std::size_t) {
            if (CutAt != TClock::TInstant::max() || !cut(s.Line))
                return;
            CutAt = s.Clock.Now();
            if (close)
                s.Worker.Terminate();
            else
                s.Worker.RequestBack();
            s.Host.WakeMainThread();
        };
        return sim;
    }

    fs::path Dump() const { return Dir / "memory.DMP"; }

    TScratchDir Scratch;
    const fs::path Dir = Scratch.Path();
    TClock::TInstant CutAt = TClock::TInstant::max();
};

const TSimOptions Slow = [] {
    TSimOptions options;
    options.Baud = 1200; // a full read-out takes about 40 s on the line
    return options;
}();

bool ThreeBlocksServed(TSimLine& line)
{
    return line.BlocksServed().size() >= 3;
}

bool AnyByte(TSimLine& line)
{
    return !line.FromTool().empty();
}

TEST_F(ReadOutCut, BackInTheMiddleOfTheReadOutEndsPromptlyWithTheBlocksRead)
{
    auto sim = Start(Slow, false, ThreeBlocksServed);
    sim->Host.Next();
    ASSERT_TRUE(sim->Settle());
    EXPECT_LT(sim->Clock.Now() - CutAt, std::chrono::seconds(2));
    EXPECT_EQ(sim->Host.Page(), 3);
    const std::string partial = ReadFile(Dump());
    EXPECT_EQ(partial.size() % 12, 0u);
    // The Back came with the third request's last byte: that reply is not read any more.
    EXPECT_EQ(partial.size(), 24u);
    EXPECT_LT(partial.size(), 1536u);
    EXPECT_EQ(partial, PatternImage().substr(0, partial.size()));
}

TEST_F(ReadOutCut, CloseInTheMiddleOfTheReadOutEndsPromptlyAndClosesThePort)
{
    auto sim = Start(Slow, true, ThreeBlocksServed);
    sim->Host.Next();
    ASSERT_TRUE(sim->Host.Serve([&] { return sim->Worker.Terminated(); }));
    sim->Close();
    EXPECT_LT(sim->Clock.Now() - CutAt, std::chrono::seconds(2));
    EXPECT_FALSE(sim->Host.SerIF().Active()); // closed by the worker on its way out
    EXPECT_FALSE(sim->Line.Held());
    EXPECT_EQ(ReadFile(Dump()).size() % 12, 0u);
}

// During the connect: the silent server's timeouts are cut short.
TEST_F(ReadOutCut, BackDuringTheConnectEndsOnPage3WithATrace)
{
    TSimOptions silent;
    silent.Silent = true;
    auto sim = Start(silent, false, AnyByte);
    sim->Host.Next();
    ASSERT_TRUE(sim->Settle());
    EXPECT_LT(sim->Clock.Now() - CutAt, std::chrono::seconds(2));
    EXPECT_EQ(sim->Host.Page(), 3);
    EXPECT_TRUE(fs::exists(Dir / "srvdiag.ERR")); // bring-up cut short: "server not found"
}

TEST_F(ReadOutCut, CloseDuringTheConnectClosesThePort)
{
    TSimOptions silent;
    silent.Silent = true;
    auto sim = Start(silent, true, AnyByte);
    sim->Host.Next();
    ASSERT_TRUE(sim->Host.Serve([&] { return sim->Worker.Terminated(); }));
    sim->Close();
    EXPECT_LT(sim->Clock.Now() - CutAt, std::chrono::seconds(2));
    EXPECT_FALSE(sim->Host.SerIF().Active());
    EXPECT_FALSE(sim->Line.Held());
}

} // namespace
