#include "tests/support/scratchdir.h"
#include "tests/worker/simrig.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The test host as the window, with a hand on the progress display: it can press Back, on the
// main thread, the moment a given percentage is shown.
class TProgressHost final : public TWorkerHost
{
public:
    explicit TProgressHost(TTestHost& base) : Base(base) {}
    int BackAtPercent = -1;

    TPage Page() const override { return Base.Page(); }
    void SetPage(TPage page) override { Base.SetPage(page); }
    bool NextEnabled() const override { return Base.NextEnabled(); }
    std::filesystem::path TracePath() const override { return Base.TracePath(); }
    TComPort& SerIF() override { return Base.SerIF(); }
    bool ShutdownChecked() const override { return Base.ShutdownChecked(); }
    TClock& Clock() override { return Base.Clock(); }
    void WakeMainThread() override { Base.WakeMainThread(); }
    void ShowPage() override { Base.ShowPage(); }
    void AddRecent() override { Base.AddRecent(); }
    void ShowProgress(std::uint8_t percent) override
    {
        Base.ShowProgress(percent);
        if (percent == BackAtPercent)
            Base.Back();
    }

private:
    TTestHost& Base;
};

// A server on a simulated line and the real worker loop and stages on a host whose port is the
// line's, driven like the window drives it, in simulated time.
struct TReadOutRig
{
    TReadOutRig(TSimOptions options, const fs::path& ini, int backAtPercent)
        : Line(Clock, TSimLine::Paced(std::move(options))),
          Host(ini.string(), std::make_unique<TSimSerialPlatform>(Line, Clock), Clock),
          Window(Host), Worker(Window, MakeSerialStages(std::make_unique<TSimLister>(Line)))
    {
        Window.BackAtPercent = backAtPercent;
        Host.Attach(Worker);
    }
    ~TReadOutRig() { Host.Close(); }
    TReadOutRig(const TReadOutRig&) = delete;
    TReadOutRig& operator=(const TReadOutRig&) = delete;

    TSimClock Clock;
    TSimLine Line;
    TTestHost Host;
    TProgressHost Window;
    TSerThread Worker;
};

class ReadOut : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dump = Dir / "memory.dmp";
        TraceFile = Dir / "srvdiag.ERR";
    }

    // Starts the window and worker, then goes to page 5 as the user would.
    void Connect(TSimOptions options, const std::string& dumpName, bool shutdown = false)
    {
        Rig.reset();
        Rig = std::make_unique<TReadOutRig>(std::move(options), Dir / "srvdiag.INI", BackAtPercent);
        Host = &Rig->Host;
        Line = &Rig->Line;
        Host->Start();
        ASSERT_TRUE(Host->ServeUntilParked());
        Host->Next();
        ASSERT_TRUE(Host->ServeUntilParked());
        Host->SetFileName(dumpName);
        Host->Next();
        ASSERT_TRUE(Host->ServeUntilParked());
        Host->Shutdown = shutdown;
        Host->Next();
        ASSERT_TRUE(Host->ServeUntilParked());
        ASSERT_EQ(Host->Page(), 4);
        Host->Next();
    }

    // Serves the worker until it parks on a page other than 5 and 6.
    void Settle()
    {
        ASSERT_TRUE(Host->Serve(
            [this] { return Rig->Worker.Suspended() && Host->Page() != 5 && Host->Page() != 6; }));
    }

    std::vector<int> SecondBytes() const
    {
        std::vector<int> blocks;
        for (const std::string& frame : Line->Requests())
            if (frame.size() == 4)
                blocks.push_back(static_cast<unsigned char>(frame[2]));
        return blocks;
    }

    TScratchDir Scratch;
    const fs::path Dir = Scratch.Path();
    fs::path Dump, TraceFile;
    int BackAtPercent = -1;
    std::unique_ptr<TReadOutRig> Rig;
    TTestHost* Host = nullptr;
    TSimLine* Line = nullptr;
};

} // namespace

TEST_F(ReadOut, FullReadOutWritesTheImageAndUpdatesTheRecentList)
{
    Connect({}, Dump.string());
    Settle();
    EXPECT_EQ(Host->Page(), 7);
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    std::vector<int> expectedBlocks;
    for (int b = 128; b <= 255; ++b)
        expectedBlocks.push_back(b);
    EXPECT_EQ(SecondBytes(), expectedBlocks);
    EXPECT_EQ(Line->Requests().size(), 128u); // no shutdown frame
    std::vector<std::uint8_t> percents;
    for (int p = 1; p <= 100; ++p)
        percents.push_back(static_cast<std::uint8_t>(p));
    EXPECT_EQ(Host->Progress, percents);
    EXPECT_EQ(Host->RecentAdds, 1);
    EXPECT_FALSE(fs::exists(TraceFile));
    EXPECT_EQ(Host->SerIF().Tag(), 1);
}

TEST_F(ReadOut, ShutdownFrameGoesFirstWhenTicked)
{
    Connect({}, Dump.string(), true);
    Settle();
    EXPECT_EQ(Host->Page(), 7);
    const auto requests = Line->Requests();
    ASSERT_EQ(requests.size(), 129u);
    EXPECT_EQ(requests[0], std::string("\x01\x04\x86", 3));
    EXPECT_TRUE(Line->ShutdownSeen());
    EXPECT_EQ(ReadFile(Dump), PatternImage());
}

TEST_F(ReadOut, RefusedShutdownReadsNothingAndKeepsTheOldDump)
{
    WriteFile(Dump, "old");
    Connect(TSimOptions{.RefuseShutdown = true}, Dump.string(), true);
    Settle();
    EXPECT_EQ(Host->Page(), 10);
    EXPECT_EQ(Line->Requests().size(), 1u);
    EXPECT_EQ(ReadFile(Dump), "old");
    const std::string trace = ReadFile(TraceFile);
    const std::string tail = "\r<1 4 134 \r>1 3 21 \r";
    ASSERT_GE(trace.size(), tail.size());
    EXPECT_EQ(trace.substr(trace.size() - tail.size()), tail) << trace;
    EXPECT_EQ(Host->RecentAdds, 0);
}

TEST_F(ReadOut, FailureAtBlock50KeepsTheOldDump)
{
    for (TBlockFault fault : {TBlockFault::WrongAck, TBlockFault::WrongChecksum,
                              TBlockFault::ShortReply, TBlockFault::Silence, TBlockFault::HangUp}) {
        SCOPED_TRACE(static_cast<int>(fault));
        WriteFile(Dump, "old");
        fs::remove(TraceFile);
        Connect(TSimOptions{.Fault = fault, .FaultBlock = 50}, Dump.string());
        Settle();
        EXPECT_EQ(Host->Page(), 10);
        EXPECT_EQ(ReadFile(Dump), "old");
        EXPECT_EQ(Line->BlocksServed().size(), 50u);
        const std::string trace = ReadFile(TraceFile);
        EXPECT_NE(trace.find("\r<66 255 178 "), std::string::npos);
        EXPECT_EQ(trace.find("\r<66 255 179 "), std::string::npos);
        EXPECT_EQ(Host->RecentAdds, 0);
    }
}

TEST_F(ReadOut, ConnectFailuresEndOnTheirPagesWithTheTraceFile)
{
    Connect(TSimOptions{.Silent = true}, Dump.string());
    Settle();
    EXPECT_EQ(Host->Page(), 9);
    std::string timeouts;
    for (int i = 0; i < 5; ++i)
        timeouts += "<0\r>-1\r";
    EXPECT_EQ(ReadFile(TraceFile), "USB" + Line->DeviceName() + "\r" + timeouts + "<128\r>-1\r");
    EXPECT_FALSE(fs::exists(Dump));

    Connect(TSimOptions{.EchoFirstLinkCheck = true}, Dump.string());
    Settle();
    EXPECT_EQ(Host->Page(), 10);
    EXPECT_EQ(ReadFile(TraceFile),
              GoodConnectTrace(Line->DeviceName(), DefaultIdentification()) + "<0\r>0\r");
}

TEST_F(ReadOut, RejectedServersEndOnServerNotFound)
{
    std::string wrong = DefaultIdentification();
    wrong[10] = 'B';
    for (const TSimOptions& options : {TSimOptions{.Identification = wrong},
                                       TSimOptions{.ProbeReply = TProbeReply::FiftyFiveThenIdent},
                                       TSimOptions{.StrayBytes = true}}) {
        fs::remove(TraceFile);
        Connect(options, Dump.string());
        Settle();
        EXPECT_EQ(Host->Page(), 9);
        EXPECT_EQ(ReadFile(TraceFile).rfind("USB" + Line->DeviceName() + "\r<0\r>", 0), 0u);
        EXPECT_FALSE(fs::exists(Dump));
    }
}

TEST_F(ReadOut, BackAfter20BlocksLeaves240Bytes)
{
    BackAtPercent = 15; // first shown after block 20
    Connect({}, Dump.string());
    Settle();
    EXPECT_EQ(Host->Page(), 3);
    EXPECT_EQ(ReadFile(Dump), PatternImage().substr(0, 240));
    EXPECT_EQ(Line->Requests().size(), 20u);
    EXPECT_TRUE(fs::exists(TraceFile));
    EXPECT_EQ(Host->RecentAdds, 0);
}

TEST_F(ReadOut, BadOutputFileIsFoundAfterTheWholeRead)
{
    // Only a regular file takes the dump: a FIFO without a reader must not block the worker, and
    // a device must not swallow the memory on a success page.
    const fs::path fifo = Dir / "fifo.dmp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& name :
         {Dir / "missing" / "memory.dmp", fs::path("/dev/full"), fs::path("/dev/null"), fifo}) {
        SCOPED_TRACE(name.string());
        Connect({}, name.string());
        Settle();
        EXPECT_EQ(Host->Page(), 8);
        EXPECT_EQ(Line->BlocksServed().size(), 128u);
        EXPECT_EQ(Host->RecentAdds, 0);
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
}
