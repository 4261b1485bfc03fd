// Soak: 500 consecutive read-outs in one process through one worker, as a user retrying all day
// would make them, alternating a good read-out with one that a server fault ends. The server is
// the server model on a simulated line behind the fault walk, in simulated time (a hang-up plugs
// in a new device).
// Resident memory, open descriptors and threads are printed after a warm-up and at the end, and
// must stay flat.

#include "serial/comport.h"
#include "tests/faults/processcounts.h"
#include "tests/support/scratchdir.h"
#include "tests/support/simworker.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

constexpr int ReadOuts = 500;
constexpr int WarmUp = 10;                     // read-outs before the start figures are taken
constexpr std::size_t ResidentMarginKiB = 512; // growth allowed for allocator noise

struct TFault
{
    TFaultKind Kind;
    TFaultPosition Position;
    std::uint8_t Page;
};

// The faults taken in turn: quick ones, in every stage, two of them unplugging the server.
const TFault Faults[] = {
    {TFaultKind::WrongChecksum, TFaultPosition::Block63, 10},
    {TFaultKind::HangUp, TFaultPosition::Block1, 10},
    {TFaultKind::WrongAnswer, TFaultPosition::Ident1, 9},
    {TFaultKind::WrongAck, TFaultPosition::Shutdown, 10},
    {TFaultKind::HangUp, TFaultPosition::Probe, 9},
    {TFaultKind::WrongAnswer, TFaultPosition::Link2, 10},
    {TFaultKind::WrongAck, TFaultPosition::Block127, 10},
};

struct TFigures
{
    std::size_t ResidentKiB, Descriptors, Threads;
};

TFigures Measure()
{
    return {ResidentKiB(), OpenDescriptorCount(), ThreadCount()};
}

} // namespace

TEST(Soak, FiveHundredReadOutsKeepMemoryDescriptorsAndThreadsFlat)
{
    const TScratchDir scratch;
    const fs::path& dir = scratch.Path();
    const fs::path dump = dir / "memory.DMP";
    const auto started = std::chrono::steady_clock::now();
    TFigures start{}, end{};
    int good = 0, faulty = 0;
    {
        TSimWorker sim(dir / "srvdiag.INI");
        TSimLine& line = sim.Line;
        TTestHost& host = sim.Host;
        const auto settle = [&] { return sim.Settle(); };
        ASSERT_TRUE(sim.ToPage4(dump.string(), true));

        for (int i = 0; i < ReadOuts; ++i) {
            if (i == WarmUp)
                start = Measure();
            const bool faultRun = i % 2 == 1;
            const TFault& fault = Faults[(i / 2) % std::size(Faults)];
            if (faultRun)
                line.Rearm(fault.Kind, fault.Position);
            else
                line.Heal();
            ASSERT_EQ(host.Page(), 4);
            host.Next(); // connect and read
            ASSERT_TRUE(settle()) << "read-out " << i;
            const std::uint8_t expected = faultRun ? fault.Page : 7;
            ASSERT_EQ(host.Page(), expected)
                << "read-out " << i << ": " << FaultKindName(fault.Kind) << " at "
                << FaultPositionName(fault.Position);
            if (!faultRun) {
                ASSERT_EQ(ReadFile(dump), PatternImage()) << "read-out " << i;
                fs::remove(dump);
                ++good;
                host.Back(); // to page 3, then on to the connect instruction
                ASSERT_TRUE(settle());
            } else {
                ++faulty;
            }
            host.Next(); // page 4 closes the port
            ASSERT_TRUE(settle());
        }
        end = Measure(); // in the same state as at the start: page 4, a server line waiting
        sim.Close();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("soak: %d read-outs (%d good, %d ended by a fault) in %.0f s\n", good + faulty,
                good, faulty, seconds);
    std::printf("soak: resident memory %zu KiB after %d read-outs, %zu KiB at the end\n",
                start.ResidentKiB, WarmUp, end.ResidentKiB);
    std::printf("soak: open descriptors %zu after %d read-outs, %zu at the end\n",
                start.Descriptors, WarmUp, end.Descriptors);
    std::printf("soak: threads %zu after %d read-outs, %zu at the end\n", start.Threads, WarmUp,
                end.Threads);
    std::fflush(stdout);
    EXPECT_LE(end.ResidentKiB, start.ResidentKiB + ResidentMarginKiB);
    EXPECT_EQ(end.Descriptors, start.Descriptors);
    EXPECT_EQ(end.Threads, start.Threads);
}
