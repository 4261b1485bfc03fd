// Random schedules: the real worker and stages against the server model in simulated time, each
// schedule drawn from a seed: a misbehaviour at any byte or position, answer delays on both sides
// of the read timeouts, Back or the close at any byte or instant, unplug and replug. Every
// schedule must end without a hang, on a page its events allow, with the dump untouched,
// complete or holding the blocks read so far, a well-formed trace that matches what crossed the
// line, the port closed and the worker's thread ended.
//
// SRVDIAG_SCHEDULE_SEED=n replays the one schedule of seed n (a failure prints it);
// SRVDIAG_SCHEDULES=n sets how many a run draws.

#include "protocol/traceparser.h"
#include "serial/comport.h"
#include "tests/faults/processcounts.h"
#include "tests/support/scratchdir.h"
#include "tests/support/simworker.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr unsigned long DefaultSchedules = 200;
#else
constexpr unsigned long DefaultSchedules = 2000;
#endif
constexpr std::size_t MostToolBytes = 2300; // a read-out with shutdown writes about 2220
constexpr int LastInstantMs = 6000;         // a read-out takes about 5 s on the line

using TMs = std::chrono::milliseconds;
using TUs = std::chrono::microseconds;

enum class TEventKind : std::uint8_t { Back, Close, Unplug };

// Something that happens to the worker or the line at a chosen tool byte or instant.
struct TEvent
{
    TEventKind Kind;
    std::size_t AtByte = 0; // after the tool's n-th byte (1-based); 0: at the instant
    TUs At{0};
    TUs ReplugAfter{-1}; // Unplug only: plugged in again this long after, if not negative
};

struct TSchedule
{
    std::uint64_t Seed = 0;
    TSimOptions Options = TSimLine::Paced();
    TFaultKind Kind = TFaultKind::None;
    TFaultPosition Position = TFaultPosition::Probe;
    bool Shutdown = false;
    std::vector<std::pair<std::size_t, TUs>> Delays; // answer byte index, extra delay
    std::vector<TEvent> Events;

    // No misbehaviour, no delay near a timeout, nothing happening: must read the memory.
    bool Clean() const
    {
        bool small = true;
        for (const auto& delay : Delays)
            small = small && delay.second < TMs(5);
        return Kind == TFaultKind::None && Options.HangUpAfter == 0 && !Options.StallAfter &&
               small && Events.empty();
    }
    std::string Text() const;
};

const char* EventName(TEventKind kind)
{
    switch (kind) {
    case TEventKind::Back:
        return "Back";
    case TEventKind::Close:
        return "close";
    case TEventKind::Unplug:
        return "unplug";
    }
    return "?";
}

std::string TSchedule::Text() const
{
    std::ostringstream text;
    text << "seed " << Seed << ": " << FaultKindName(Kind) << " at " << FaultPositionName(Position);
    if (Options.HangUpAfter != 0)
        text << ", hang-up at byte " << Options.HangUpAfter;
    if (Options.StallAfter)
        text << ", stall after byte " << *Options.StallAfter;
    text << (Shutdown ? ", shutdown" : "") << ", " << Delays.size() << " delays";
    for (const auto& [index, delay] : Delays)
        if (delay >= TMs(5))
            text << " [answer " << index << " +" << delay.count() << " us]";
    for (const TEvent& e : Events) {
        text << ", " << EventName(e.Kind);
        if (e.AtByte != 0)
            text << " at byte " << e.AtByte;
        else
            text << " at " << e.At.count() << " us";
        if (e.ReplugAfter >= TUs(0))
            text << " (replug after " << e.ReplugAfter.count() << " us)";
    }
    return text.str();
}

// A delay on one side or the other of a read timeout (50 ms while waking and identifying,
// 350 ms for the link check and the frames), or a small one.
TUs DrawDelay(std::mt19937_64& random)
{
    const int timeoutMs = std::uniform_int_distribution<int>(0, 1)(random) == 0 ? 50 : 350;
    switch (std::uniform_int_distribution<int>(0, 2)(random)) {
    case 0:
        return TUs(std::uniform_int_distribution<int>(0, 4999)(random));
    case 1:
        return TMs(timeoutMs) - TUs(std::uniform_int_distribution<int>(1, 20000)(random));
    default:
        return TMs(timeoutMs) + TUs(std::uniform_int_distribution<int>(0, 20000)(random));
    }
}

TSchedule DrawSchedule(std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    const auto chance = [&](int percent) {
        return std::uniform_int_distribution<int>(0, 99)(random) < percent;
    };
    const auto pick = [&](int count) {
        return std::uniform_int_distribution<int>(0, count - 1)(random);
    };
    TSchedule s;
    s.Seed = seed;
    s.Shutdown = chance(50);
    if (chance(50)) {
        s.Kind = static_cast<TFaultKind>(1 + pick(7));
        s.Position = static_cast<TFaultPosition>(pick(14));
    }
    const auto byte = [&] {
        return static_cast<std::size_t>(
            std::uniform_int_distribution<std::size_t>(1, MostToolBytes)(random));
    };
    if (chance(10))
        s.Options.HangUpAfter = byte();
    if (chance(10))
        s.Options.StallAfter = byte() - 1;
    if (chance(40)) {
        const int count = 1 + pick(3);
        for (int i = 0; i < count; ++i)
            s.Delays.emplace_back(std::uniform_int_distribution<std::size_t>(0, 2400)(random),
                                  DrawDelay(random));
    }
    const auto instant = [&] {
        return TUs(std::uniform_int_distribution<int>(0, LastInstantMs * 1000)(random));
    };
    for (TEventKind kind : {TEventKind::Back, TEventKind::Close, TEventKind::Unplug}) {
        if (!chance(12))
            continue;
        TEvent e{kind};
        if (chance(50))
            e.AtByte = byte();
        else
            e.At = instant();
        if (kind == TEventKind::Unplug && chance(50))
            e.ReplugAfter = TUs(std::uniform_int_distribution<int>(0, 500000)(random));
        s.Events.push_back(e);
    }
    return s;
}

bool IsSubsequence(const std::string& part, const std::string& whole)
{
    std::size_t at = 0;
    for (char c : part) {
        at = whole.find(c, at);
        if (at == std::string::npos)
            return false;
        ++at;
    }
    return true;
}

// The last entries of a trace, carriage returns shown as '|'.
std::string Tail(const std::string& trace)
{
    std::string tail = trace.substr(trace.size() > 120 ? trace.size() - 120 : 0);
    for (char& c : tail)
        if (c == '\r')
            c = '|';
    return tail;
}

struct TFindings
{
    std::string Text;
    void Check(bool ok, const std::string& what)
    {
        if (!ok)
            Text += (Text.empty() ? "" : "; ") + what;
    }
};

// Runs one schedule in a fresh folder; gives what went wrong, empty when nothing did.
std::string RunSchedule(const TSchedule& s, const fs::path& base)
{
    TFindings f;
    const fs::path dir = base / std::to_string(s.Seed);
    fs::create_directories(dir);
    const fs::path dump = dir / "memory.DMP";
    const fs::path traceFile = dir / "srvdiag.ERR";
    const std::string oldDump = "an earlier dump";
    WriteFile(dump, oldDump);
    const std::string image = s.Options.Memory;
    bool backSet = false, closeSet = false, unplugged = false;
    {
        TSimWorker sim(dir / "srvdiag.INI", s.Options, s.Kind, s.Position);
        TSimLine& line = sim.Line;
        if (!sim.ToPage4(dump.string(), s.Shutdown))
            return "did not reach page 4";

        // Events run on the worker thread, inside its port calls and pauses.
        const auto happen = [&](const TEvent& e) {
            switch (e.Kind) {
            case TEventKind::Back:
                if (sim.Host.Page() == 5 || sim.Host.Page() == 6) {
                    backSet = true;
                    sim.Worker.RequestBack();
                }
                break;
            case TEventKind::Close:
                closeSet = true;
                sim.Worker.Terminate();
                break;
            case TEventKind::Unplug:
                unplugged = true;
                line.Unplug();
                if (e.ReplugAfter >= TUs(0))
                    sim.Clock.At(sim.Clock.Now() + e.ReplugAfter, [&line] { line.Replug(); });
                break;
            }
            sim.Host.WakeMainThread();
        };
        std::vector<const TEvent*> byByte;
        for (const TEvent& e : s.Events) {
            if (e.AtByte != 0)
                byByte.push_back(&e);
            else
                sim.Clock.At(sim.Clock.Now() + e.At, [&happen, &e] { happen(e); });
        }
        line.AfterToolByte = [&](std::size_t count) {
            for (const TEvent* e : byByte)
                if (e->AtByte == count)
                    happen(*e);
        };
        line.AnswerDelay = [&](std::size_t index) {
            TClock::TDuration extra{0};
            for (const auto& [at, delay] : s.Delays)
                if (at == index)
                    extra += delay;
            return extra;
        };

        sim.Host.Next(); // page 5: connect, then read
        const bool settled = sim.Host.Serve(
            [&] {
                return sim.Worker.Terminated() ||
                       (sim.Worker.Suspended() && sim.Host.Page() != 5 && sim.Host.Page() != 6);
            },
            std::chrono::seconds(30));
        f.Check(settled, "hang: the worker did not settle");
        const std::uint8_t page = sim.Host.Page();
        sim.Close();
        f.Check(sim.Hangs() == 0, "hang: a port wait with no end");
        f.Check(!sim.Host.SerIF().Active() && !line.Held(), "port left open");

        // The page its events allow.
        if (closeSet) {
            // The window is gone; the page is of no one's concern.
        } else if (backSet) {
            f.Check(page == 3, "Back during a stage ended on page " + std::to_string(page));
        } else {
            f.Check(page >= 7 && page <= 10 && page != 8, "ended on page " + std::to_string(page));
            if (s.Clean())
                f.Check(page == 7, "a clean schedule ended on page " + std::to_string(page));
        }

        // The dump: complete after a success, untouched after a failure, the blocks read so far
        // after Back or the close.
        const std::string content = ReadFile(dump);
        if (!closeSet && !backSet) {
            if (page == 7)
                f.Check(content == image, "success without the whole memory in the dump");
            else
                f.Check(content == oldDump, "a failed read-out changed the dump");
        } else if (content != oldDump) {
            f.Check(content.size() % 12 == 0 && image.compare(0, content.size(), content) == 0,
                    "cut read-out left a dump of " + std::to_string(content.size()) +
                        " bytes that are not the blocks read");
        }

        // The trace: none after a success; else well-formed, of this device, with what crossed
        // the line.
        const bool failed = page >= 8 && page <= 10;
        if (!closeSet && !backSet)
            f.Check(fs::exists(traceFile) == failed,
                    failed ? "no trace file after a failure" : "trace file after a success");
        if (fs::exists(traceFile)) {
            TParsedTrace parsed;
            const std::string trace = ReadFile(traceFile);
            if (const auto error = ParseTrace(trace, parsed)) {
                f.Check(false, "trace malformed: " + *error);
            } else {
                f.Check(parsed.Device.rfind("/dev/ttySIM", 0) == 0,
                        "trace names device " + parsed.Device);
                const std::string sent = parsed.SentBytes();
                const std::string fromTool = line.FromTool();
                std::size_t slack = 0;
                const auto& entries = parsed.Entries;
                for (std::size_t i = entries.size() >= 2 ? entries.size() - 2 : 0;
                     i < entries.size(); ++i)
                    slack += entries[i].Bytes.size();
                const bool lost =
                    s.Options.HangUpAfter != 0 || s.Kind == TFaultKind::HangUp || unplugged;
                // A write the device does not take fails only at the next write, so after a
                // stall every other byte the trace shows as sent was never taken.
                const bool stalled = s.Options.StallAfter || s.Kind == TFaultKind::Stall;
                // Written by the worker after the server's last byte: identical, except for what
                // a vanished or stalled device never took.
                f.Check(sent.compare(0, fromTool.size(), fromTool) == 0 &&
                            (stalled || (lost ? sent.size() - fromTool.size() <= slack
                                              : sent.size() == fromTool.size())),
                        "trace sent " + std::to_string(sent.size()) + " bytes, the server took " +
                            std::to_string(fromTool.size()) + "; trace ends " + Tail(trace));
                f.Check(IsSubsequence(parsed.ReceivedBytes(), line.ReadByTool()) &&
                            line.ToTool().compare(0, line.ReadByTool().size(), line.ReadByTool()) ==
                                0,
                        "trace holds bytes the server did not send");
            }
        }
    }
    fs::remove_all(dir);
    return f.Text;
}

// Memory-backed where there is one: the dump and trace are written in full each time.
fs::path ScratchRoot()
{
    const fs::path shm = "/dev/shm";
    return fs::is_directory(shm) ? shm : fs::temp_directory_path();
}

} // namespace

TEST(RandomSchedules, EveryScheduleEndsSoundly)
{
    const TScratchDir scratch(ScratchRoot());
    const fs::path& base = scratch.Path();
    std::thread([] {}).join(); // ThreadSanitizer's helper thread, before the threads are counted
    const std::size_t threads = ThreadCount();

    std::vector<std::uint64_t> seeds;
    if (const char* replay = std::getenv("SRVDIAG_SCHEDULE_SEED")) {
        seeds.push_back(std::strtoull(replay, nullptr, 10));
    } else {
        unsigned long count = DefaultSchedules;
        if (const char* value = std::getenv("SRVDIAG_SCHEDULES"))
            count = std::strtoul(value, nullptr, 10);
        std::uint64_t first = std::random_device{}();
        first = (first << 32) ^ std::random_device{}();
        for (unsigned long i = 0; i < count; ++i)
            seeds.push_back(first + i);
    }

    const auto started = std::chrono::steady_clock::now();
    int failures = 0;
    int clean = 0;
    std::size_t checked = 0;
    for (std::uint64_t seed : seeds) {
        ++checked;
        const TSchedule schedule = DrawSchedule(seed);
        clean += schedule.Clean() ? 1 : 0;
        const std::string findings = RunSchedule(schedule, base);
        if (!findings.empty()) {
            ADD_FAILURE() << schedule.Text() << "\n  " << findings
                          << "\n  replay: SRVDIAG_SCHEDULE_SEED=" << seed;
            if (++failures == 5)
                break;
        }
        if (ThreadCountSettledAt(threads) != threads) {
            ADD_FAILURE() << schedule.Text() << "\n  threads left behind"
                          << "\n  replay: SRVDIAG_SCHEDULE_SEED=" << seed;
            break;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("random schedules: %zu checked (%d clean) in %.2f s\n", checked, clean, seconds);
}
