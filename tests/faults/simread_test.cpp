// Reads on the simulated serial platform: a read ends where the real port's would, by its total
// or interval timeout (with the clock there) or at an unplug; events set for an instant between
// two answer bytes run at that instant, after the earlier byte was read and before the later one;
// and a whole read-out in simulated time gives the same trace and takes the same simulated time
// every time.

#include "tests/support/scratchdir.h"
#include "tests/support/simworker.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using TMs = std::chrono::milliseconds;

// An unpaced server with stray bytes: the probe byte is answered by three bytes, which arrive
// 1, 2 and 10 ms after it.
class SimRead : public ::testing::Test
{
protected:
    SimRead()
    {
        Line.AnswerDelay = [](std::size_t index) { return TMs(index == 2 ? 10 : index + 1); };
        EXPECT_EQ(Platform.Open(Line.DeviceName()), 0);
        Start = Clock.Now();
        const std::uint8_t probe = 0x00;
        EXPECT_EQ(Platform.StartWrite(&probe, 1), 0);
        EXPECT_EQ(Line.ToTool(), "\xFE\xFF\x00"s);
    }

    // Reads up to count bytes with the given timeouts; gives the code and sets Got.
    std::int32_t Read(std::int32_t count, std::int32_t interval, std::int32_t total)
    {
        EXPECT_EQ(Platform.SetTimeouts({.ReadInterval = interval, .ReadConstant = total}), 0);
        Got.assign(static_cast<std::size_t>(count), '\0');
        EXPECT_EQ(Platform.StartRead(Got.data(), count), 0);
        std::int32_t transferred = 0;
        const std::int32_t code = Platform.FinishRead(transferred);
        Got.resize(static_cast<std::size_t>(transferred));
        return code;
    }
    TMs Elapsed() const { return std::chrono::duration_cast<TMs>(Clock.Now() - Start); }

    static TSimOptions StrayBytes()
    {
        TSimOptions options;
        options.StrayBytes = true;
        return options;
    }

    TSimClock Clock;
    TSimLine Line{Clock, StrayBytes()};
    TSimSerialPlatform Platform{Line, Clock};
    TClock::TInstant Start;
    std::string Got;
};

} // namespace

TEST_F(SimRead, ATimeoutEndsTheReadWithWhatArrivedAndTheClockAtItsDeadline)
{
    // The interval timeout: 5 ms after the second byte, before the third.
    EXPECT_EQ(Read(3, 5, 100), 0);
    EXPECT_EQ(Got, "\xFE\xFF"s);
    EXPECT_EQ(Elapsed(), TMs(7));
    // The rest comes in the next read, at its arrival.
    EXPECT_EQ(Read(1, 0, 50), 0);
    EXPECT_EQ(Got, "\x00"s);
    EXPECT_EQ(Elapsed(), TMs(10));
}

TEST_F(SimRead, TheTotalTimeoutCountsFromTheStartOfTheRead)
{
    EXPECT_EQ(Read(3, 0, 5), 0);
    EXPECT_EQ(Got, "\xFE\xFF"s);
    EXPECT_EQ(Elapsed(), TMs(5));
    EXPECT_EQ(Read(1, 0, 50), 0);
    EXPECT_EQ(Got, "\x00"s);
    EXPECT_EQ(Elapsed(), TMs(10));
}

TEST_F(SimRead, AnEventBetweenTwoAnswerBytesRunsAtItsInstantBetweenThem)
{
    std::string readAtEvent;
    TMs eventAt{-1};
    Clock.At(Start + std::chrono::microseconds(1500), [&] {
        readAtEvent = Line.ReadByTool();
        eventAt = Elapsed();
    });
    EXPECT_EQ(Read(3, 0, 50), 0);
    EXPECT_EQ(Got, "\xFE\xFF\x00"s);
    EXPECT_EQ(readAtEvent, "\xFE"s);
    EXPECT_EQ(eventAt, TMs(1));
    EXPECT_EQ(Elapsed(), TMs(10));
}

TEST_F(SimRead, AnUnplugBetweenTwoAnswerBytesEndsTheReadThereAsAVanishedDevice)
{
    Clock.At(Start + std::chrono::microseconds(1500), [&] { Line.Unplug(); });
    EXPECT_EQ(Read(3, 0, 50), EIO);
    EXPECT_EQ(Got, "\xFE"s);
}

TEST(SimReadOut, AWholeReadOutGivesTheSameTraceAndTakesTheSameTimeEveryTime)
{
    const TScratchDir dir;
    std::string traces[2];
    TClock::TDuration took[2];
    for (int i = 0; i < 2; ++i) {
        TSimWorker sim(dir.File("srvdiag.INI"));
        ASSERT_TRUE(sim.ToPage4(dir.File("memory.DMP").string(), true));
        const TClock::TInstant start = sim.Clock.Now();
        sim.Host.Next();
        ASSERT_TRUE(sim.Settle());
        ASSERT_EQ(sim.Host.Page(), 7);
        took[i] = sim.Clock.Now() - start;
        traces[i] = sim.Worker.Trace;
        sim.Close();
    }
    EXPECT_EQ(traces[0], traces[1]);
    EXPECT_FALSE(traces[0].empty());
    // The pauses (300 ms) and the silent link-check wait (350 ms) are part of it.
    EXPECT_GT(took[0], TMs(650));
    EXPECT_EQ(took[0], took[1]);
}
