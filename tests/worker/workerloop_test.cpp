#include "tests/support/scratchdir.h"
#include "tests/support/scriptstages.h"
#include "tests/support/simserialplatform.h"
#include "tests/support/testhost.h"
#include "worker/serthread.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A worker on a test host with scripted stages, its settings file in a fresh folder.
class WorkerLoop : public ::testing::Test
{
protected:
    void SetUp() override { StartOn(std::make_unique<TTestHost>(IniPath())); }

    std::string IniPath() const { return (Dir / "srvdiag.INI").string(); }
    // Starts the worker on scripted stages behind the host and serves until it parks.
    void StartOn(std::unique_ptr<TTestHost> host)
    {
        Host = std::move(host);
        auto stages = std::make_unique<TScriptStages>();
        Stages = stages.get();
        Worker = std::make_unique<TSerThread>(*Host, std::move(stages));
        Host->Attach(*Worker, Stages);
        Host->Start();
        ASSERT_TRUE(Host->ServeUntilParked());
    }

    void TearDown() override
    {
        if (Worker) {
            Host->Close();
            Worker.reset();
        }
    }

    // Next, then serve until the worker parks again.
    void NextAndSettle()
    {
        Host->Next();
        ASSERT_TRUE(Host->ServeUntilParked());
    }

    void BackAndSettle()
    {
        Host->Back();
        ASSERT_TRUE(
            Host->Serve([this] { return Worker->Suspended() && !Worker->BackRequested(); }));
    }

    void GoToPage4()
    {
        NextAndSettle(); // 2
        Host->SetFileName((Dir / "out.DMP").string());
        NextAndSettle(); // 3
        NextAndSettle(); // 4
        ASSERT_EQ(Host->Page(), 4);
    }

    fs::path TraceFile() const { return Dir / "srvdiag.ERR"; }

    TScratchDir Scratch;
    const fs::path Dir = Scratch.Path();
    std::unique_ptr<TTestHost> Host;
    TScriptStages* Stages = nullptr;
    std::unique_ptr<TSerThread> Worker;
};

TEST_F(WorkerLoop, InputPagesParkWithoutStageWorkAndHandOverTheFileName)
{
    NextAndSettle();
    EXPECT_EQ(Host->Page(), 2);
    EXPECT_FALSE(Host->NextEnabled()); // empty name: Next off, yet the worker parks
    EXPECT_TRUE(Worker->Suspended());
    Host->SetFileName("first.DMP");
    NextAndSettle();
    NextAndSettle();
    EXPECT_EQ(Host->Page(), 4);
    EXPECT_EQ(Worker->DumpFileName(), "first.DMP");

    BackAndSettle();
    EXPECT_EQ(Host->Page(), 3);
    BackAndSettle();
    EXPECT_EQ(Host->Page(), 2);
    Host->SetFileName("second.DMP");
    NextAndSettle();
    NextAndSettle();
    EXPECT_EQ(Worker->DumpFileName(), "second.DMP");
    BackAndSettle();
    BackAndSettle();
    BackAndSettle();
    EXPECT_EQ(Host->Page(), 1);

    EXPECT_EQ(Stages->Connects(), 0);
    EXPECT_EQ(Stages->ReadOuts(), 0);
    EXPECT_FALSE(fs::exists(TraceFile()));
}

TEST_F(WorkerLoop, SuccessfulConnectRunsStraightOnToTheReadOutAndPage7)
{
    GoToPage4();
    Stages->ScriptReadOut(TStageStep::Succeed().WithProgress(50).WithAddRecent());
    Host->Shown.clear();
    NextAndSettle();
    EXPECT_EQ(Host->Page(), 7);
    EXPECT_EQ(Host->Shown, (std::vector<std::uint8_t>{5, 6, 7}));
    EXPECT_EQ(Host->Progress, (std::vector<std::uint8_t>{50}));
    EXPECT_EQ(Host->RecentAdds, 1);
    EXPECT_EQ(Worker->ResultCode(), 0);
    EXPECT_FALSE(fs::exists(TraceFile()));
}

struct TFailure
{
    bool InReadOut;
    std::uint8_t Result;
    std::uint8_t Page;
};

void PrintTo(const TFailure& failure, std::ostream* out)
{
    *out << (failure.InReadOut ? "read-out" : "connect") << " result " << int(failure.Result);
}

class WorkerLoopFailure : public WorkerLoop, public ::testing::WithParamInterface<TFailure>
{
};

TEST_P(WorkerLoopFailure, LeadsToItsPageWritesTheTraceAndRetriesFromPage4)
{
    const TFailure failure = GetParam();
    GoToPage4();
    const TStageStep step = TStageStep::Fail(failure.Result).WithTrace(std::string("<4\r>\0\r", 6));
    if (failure.InReadOut)
        Stages->ScriptReadOut(step);
    else
        Stages->ScriptConnect(step);
    NextAndSettle();
    EXPECT_EQ(Host->Page(), failure.Page);
    EXPECT_EQ(Worker->ResultCode(), 0);
    EXPECT_EQ(ReadFile(TraceFile()), std::string("<4\r>\0\r", 6));

    NextAndSettle(); // retry: back to the connect instruction, not onwards
    EXPECT_EQ(Host->Page(), 4);
    NextAndSettle(); // this attempt succeeds and leaves the old trace alone
    EXPECT_EQ(Host->Page(), 7);
    EXPECT_EQ(ReadFile(TraceFile()), std::string("<4\r>\0\r", 6));
}

TEST_P(WorkerLoopFailure, BackFromTheFailurePageLeadsToPage3)
{
    const TFailure failure = GetParam();
    GoToPage4();
    if (failure.InReadOut)
        Stages->ScriptReadOut(TStageStep::Fail(failure.Result));
    else
        Stages->ScriptConnect(TStageStep::Fail(failure.Result));
    NextAndSettle();
    ASSERT_EQ(Host->Page(), failure.Page);
    BackAndSettle();
    EXPECT_EQ(Host->Page(), 3);
}

INSTANTIATE_TEST_SUITE_P(Results, WorkerLoopFailure,
                         ::testing::Values(TFailure{false, 2, 9}, TFailure{false, 3, 10},
                                           TFailure{true, 1, 8}, TFailure{true, 3, 10}),
                         [](const ::testing::TestParamInfo<TFailure>& info) {
                             return std::string(info.param.InReadOut ? "ReadOut" : "Connect") +
                                    "Result" + std::to_string(info.param.Result);
                         });

TEST_F(WorkerLoop, TraceIsClearedAtEachConnectAndKeptIntoTheReadOut)
{
    GoToPage4();
    Stages->ScriptConnect(TStageStep::Fail(2).WithTrace("old\r"));
    NextAndSettle();
    NextAndSettle();
    Stages->ScriptConnect(TStageStep::Succeed().WithTrace("connect\r"));
    Stages->ScriptReadOut(TStageStep::Fail(3).WithTrace("read\r"));
    NextAndSettle();
    EXPECT_EQ(Host->Page(), 10);
    EXPECT_EQ(ReadFile(TraceFile()), "connect\rread\r");
}

TEST_F(WorkerLoop, StageExceptionBecomesCommunicationErrorAndTheWorkerCarriesOn)
{
    GoToPage4();
    Stages->ScriptConnect(TStageStep::Throwing());
    NextAndSettle();
    EXPECT_EQ(Host->Page(), 10);
    EXPECT_TRUE(fs::exists(TraceFile()));
    NextAndSettle();
    Stages->ScriptReadOut(TStageStep::Throwing());
    NextAndSettle();
    EXPECT_EQ(Host->Page(), 10);
    NextAndSettle();
    NextAndSettle();
    EXPECT_EQ(Host->Page(), 7);
}

TEST_F(WorkerLoop, BackDuringAStageEndsOnPage3)
{
    GoToPage4();
    // Cut short with ResultCode 2 (discovery, bring-up): the failure passes through and is traced.
    Stages->ScriptConnect(TStageStep::Fail(2).WithTrace("x\r").UntilBack());
    Host->Next();
    ASSERT_TRUE(Host->Serve([this] { return Stages->Blocking(); }));
    Host->Shown.clear();
    BackAndSettle();
    EXPECT_EQ(Host->Page(), 3);
    EXPECT_EQ(Host->Shown, (std::vector<std::uint8_t>{3}));
    EXPECT_EQ(ReadFile(TraceFile()), "x\r");

    // Cut short with ResultCode 0 (link check): no trace file.
    fs::remove(TraceFile());
    NextAndSettle();
    Stages->ScriptConnect(TStageStep::Succeed().UntilBack());
    Host->Next();
    ASSERT_TRUE(Host->Serve([this] { return Stages->Blocking(); }));
    BackAndSettle();
    EXPECT_EQ(Host->Page(), 3);
    EXPECT_FALSE(fs::exists(TraceFile()));
    EXPECT_EQ(Stages->ReadOuts(), 0);
}

TEST_F(WorkerLoop, FailurePageShownWhenTheTraceFileCannotBeWritten)
{
    Host->Close();
    Worker.reset();
    TTestHost host((Dir / "missing" / "srvdiag.INI").string());
    auto stages = std::make_unique<TScriptStages>();
    stages->ScriptConnect(TStageStep::Fail(2));
    TSerThread worker(host, std::move(stages));
    host.Attach(worker);
    host.Start();
    ASSERT_TRUE(host.ServeUntilParked());
    host.SetPage(pgConnect);
    host.Next();
    ASSERT_TRUE(host.Serve([&] { return worker.Suspended() && host.Page() == 9; }));
    EXPECT_FALSE(fs::exists(Dir / "missing"));
    host.Close();
}

TEST_F(WorkerLoop, BackWhileTheParkCallIsQueuedIsNotLost)
{
    NextAndSettle(); // parked on page 2
    const int wakes = Host->Wakes.load();
    Host->SetFileName("f");
    Host->Next(); // resumes the worker: it redraws page 3, then asks to park
    ASSERT_TRUE(Host->WaitForWakes(wakes + 1));
    Worker->ServeCalls(); // the redraw only
    ASSERT_TRUE(Host->WaitForWakes(wakes + 2));
    Host->Back(); // the park call is still queued
    ASSERT_TRUE(Host->Serve([this] { return Host->Page() == 2 && Worker->Suspended(); }));
    EXPECT_FALSE(Worker->BackRequested());
}

TEST_F(WorkerLoop, CloseWhileParkedEndsAtOnce)
{
    NextAndSettle();
    const auto start = std::chrono::steady_clock::now();
    Host->Close();
    // Only a close that waited for something instead of waking the worker comes near this.
    EXPECT_LT(std::chrono::steady_clock::now() - start, TTestHost::HangGuard);
    EXPECT_EQ(Host->Page(), 2);
}

TEST_F(WorkerLoop, CloseWhileAParkCallIsQueuedDoesNotPark)
{
    const int wakes = Host->Wakes.load();
    Host->Next();
    ASSERT_TRUE(Host->WaitForWakes(wakes + 1));
    Worker->ServeCalls();
    ASSERT_TRUE(Host->WaitForWakes(wakes + 2)); // park call queued, not served
    Host->Close();                              // serves it after the termination request
    EXPECT_FALSE(Worker->Suspended());
}

TEST_F(WorkerLoop, CloseWhileARedrawIsQueuedServesItAndEnds)
{
    const int wakes = Host->Wakes.load();
    Host->Next();
    ASSERT_TRUE(Host->WaitForWakes(wakes + 1)); // the worker waits for its redraw
    Host->Shown.clear();
    Host->Close();
    EXPECT_EQ(Host->Shown, (std::vector<std::uint8_t>{2}));
}

TEST_F(WorkerLoop, CloseDuringAStageEndsWithoutRedraw)
{
    GoToPage4();
    Stages->ScriptConnect(TStageStep::Fail(2).UntilBack());
    Host->Next();
    ASSERT_TRUE(Host->Serve([this] { return Stages->Blocking(); }));
    Host->Shown.clear();
    Host->Close();
    EXPECT_TRUE(Host->Shown.empty());
    EXPECT_EQ(Host->Page(), 9);           // the pass still maps the result
    EXPECT_TRUE(fs::exists(TraceFile())); // and traces it
}

} // namespace

namespace {

// A simulated device that stands in for the server's port, on a host of its own: the worker's
// port is the line's platform.
class WorkerLoopPort : public WorkerLoop
{
protected:
    void SetUp() override
    {
        StartOn(std::make_unique<TTestHost>(
            IniPath(), std::make_unique<TSimSerialPlatform>(Line, Clock), Clock));
    }

    TSimClock Clock;
    TSimLine Line{Clock};
};

TEST_F(WorkerLoopPort, CloseOnAFailurePageClosesThePortTheAttemptLeftOpen)
{
    GoToPage4();
    // As bring-up leaves it: open, Tag 1 (set up while the worker is parked).
    Host->SerIF().SetDeviceName(Line.DeviceName());
    Host->SerIF().Open();
    Host->SerIF().SetTag(1);
    Stages->ScriptConnect(TStageStep::Fail(3));
    NextAndSettle();
    ASSERT_EQ(Host->Page(), 10);
    EXPECT_TRUE(Host->SerIF().Active()); // stays open on the failure page
    Host->Close();
    EXPECT_FALSE(Host->SerIF().Active());
    EXPECT_FALSE(Line.Held());
}

TEST_F(WorkerLoopPort, CloseOnAnInputPageLeavesThePortAlone)
{
    NextAndSettle();
    // Tag 0: not the worker's port to close.
    Host->SerIF().SetDeviceName(Line.DeviceName());
    Host->SerIF().Open();
    Host->Close();
    EXPECT_TRUE(Host->SerIF().Active());
    Host->SerIF().Close();
}

// Stages whose connect waits for the test, then makes one synchronized call.
class TLateCallStages final : public TStages
{
public:
    std::promise<void> Go;
    std::atomic<bool> InStage{false};

    void Connect(TSerThread& worker) override
    {
        InStage = true;
        worker.Host().WakeMainThread(); // the test serves until it sees InStage
        Go.get_future().wait();
        worker.Synchronize([] {});
    }
    void ReadOut(TSerThread&) override {}
};

// Regression: a synchronized call queued after the window had already entered WaitFor was never
// served, because the window sleeps there instead of running its event loop; both threads hung.
TEST(WorkerLoopClose, CallQueuedAfterTheCloseBeganWaitingIsServed)
{
    const TScratchDir dir;
    TTestHost host(dir.File("srvdiag.INI").string());
    auto owned = std::make_unique<TLateCallStages>();
    TLateCallStages& stages = *owned;
    TSerThread worker(host, std::move(owned));
    host.Attach(worker);
    host.Start();
    ASSERT_TRUE(host.ServeUntilParked());
    host.Next();
    ASSERT_TRUE(host.ServeUntilParked());
    host.SetFileName(dir.File("out.DMP").string());
    for (int page = 3; page <= 4; ++page) {
        host.Next();
        ASSERT_TRUE(host.ServeUntilParked());
    }
    host.Next(); // page 5: the stage starts and waits
    ASSERT_TRUE(host.Serve([&] { return stages.InStage.load(); }));

    // The close may begin to wait before or after the call is queued; either way it must serve it.
    worker.Terminate();
    auto closing = std::async(std::launch::async, [&] { worker.WaitFor(); });
    stages.Go.set_value();
    if (closing.wait_for(TTestHost::HangGuard) != std::future_status::ready) {
        ADD_FAILURE() << "the close never served the worker's call";
        worker.ServeCalls(); // release both threads so the test can end
    }
    closing.wait();
}

} // namespace
