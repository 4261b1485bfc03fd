// The event thread: dispatch order, failing handlers, stopping, wait failures and the main
// thread hand-over.
#include "fakeserialplatform.h"
#include "serial/comport.h"

#include <deque>
#include <gtest/gtest.h>
#include <thread>

namespace {

// A main thread of the test's own: the test thread, which runs the posted calls when it serves.
class TQueueDispatcher final : public TMainThreadDispatcher
{
public:
    explicit TQueueDispatcher(TFakeSerialPlatform& fake) : Fake(fake) {}
    bool IsMainThread() const override { return std::this_thread::get_id() == Main; }
    void Post(std::function<void()> fn) override
    {
        std::lock_guard lock(Lock);
        Queue.push_back(std::move(fn));
        ++PostedCount;
        Fake.NoteChange();
    }
    void Serve()
    {
        std::deque<std::function<void()>> calls;
        {
            std::lock_guard lock(Lock);
            calls.swap(Queue);
        }
        for (auto& fn : calls)
            fn();
    }
    int Posted()
    {
        std::lock_guard lock(Lock);
        return PostedCount;
    }

private:
    TFakeSerialPlatform& Fake;
    const std::thread::id Main = std::this_thread::get_id();
    std::mutex Lock;
    std::deque<std::function<void()>> Queue;
    int PostedCount = 0;
};

// Waits for cond, looking again whenever the port calls its platform or posts to the main thread
// (the event thread does one or the other after each pass), and serving the posted calls when
// given the dispatcher.
bool Eventually(TFakeSerialPlatform& fake, const std::function<bool()>& cond,
                TQueueDispatcher* main = nullptr)
{
    return fake.WaitForChange([&] {
        if (main)
            main->Serve();
        return cond();
    });
}

struct EventPort : ::testing::Test
{
    EventPort()
    {
        auto platform = std::make_unique<TFakeSerialPlatform>();
        Fake = platform.get();
        Port = std::make_unique<TComPort>(std::move(platform));
        Port->SetSynchronizeEvents(false);
    }

    TNotifyEvent Recorder(const std::string& name)
    {
        return [this, name](TCustomComPort&) {
            std::lock_guard lock(SeenLock);
            Seen.push_back(name);
        };
    }
    std::vector<std::string> SeenNow()
    {
        std::lock_guard lock(SeenLock);
        return Seen;
    }

    TFakeSerialPlatform* Fake = nullptr;
    std::unique_ptr<TComPort> Port;
    std::mutex SeenLock;
    std::vector<std::string> Seen;
};

TEST_F(EventPort, HandlersRunInTheFixedOrderForTheReportedEvents)
{
    Port->SetOnTxEmpty(Recorder("TxEmpty"));
    Port->SetOnRxFlag(Recorder("RxFlag"));
    Port->SetOnRxChar(Recorder("RxChar"));
    Port->SetOnRx80PercFull(Recorder("Rx80PercFull"));
    Port->SetOnRLSDChange(Recorder("RLSDChange"));
    Port->SetOnRing(Recorder("Ring"));
    Port->SetOnPrinterError(Recorder("PrinterError"));
    Port->SetOnEvent2(Recorder("Event2"));
    Port->SetOnEvent1(Recorder("Event1"));
    Port->SetOnLineError([this](TCustomComPort&, TLineErrors errors) {
        std::lock_guard lock(SeenLock);
        Seen.push_back(errors.Contains(leBreak) ? "LineError break" : "LineError");
    });
    Port->SetOnDSRChange(Recorder("DSRChange"));
    Port->SetOnCTSChange(Recorder("CTSChange"));
    Port->SetOnBreak(Recorder("Break"));
    EXPECT_FALSE(Port->EventThreadRunning()); // closed: handlers only stored
    Port->Open();
    EXPECT_TRUE(Port->EventThreadRunning());
    EXPECT_EQ(Fake->Mask(), 0x1FFFU);

    Fake->SetErrorBits(CommError::Break);
    Fake->RaiseEvents(0x1FFF);
    ASSERT_TRUE(Eventually(*Fake, [&] { return SeenNow().size() == 13; }));
    const std::vector<std::string> expected{
        "Break",  "CTSChange",    "DSRChange", "LineError break", "Event1",
        "Event2", "PrinterError", "Ring",      "RLSDChange",      "Rx80PercFull",
        "RxChar", "RxFlag",       "TxEmpty"};
    EXPECT_EQ(SeenNow(), expected);

    // Without error bits the line-error handler is not called; unreported events call nothing.
    Fake->RaiseEvents(CommEvent::Err | CommEvent::RxChar);
    ASSERT_TRUE(Eventually(*Fake, [&] { return SeenNow().size() == 14; }));
    EXPECT_EQ(SeenNow().back(), "RxChar");
}

TEST_F(EventPort, AThrowingHandlerSkipsTheRestOfThatPassOnly)
{
    std::atomic<int> rxChars{0};
    Port->SetOnRxChar([&](TCustomComPort&) {
        if (++rxChars == 1)
            throw std::runtime_error("handler failed");
    });
    Port->SetOnTxEmpty(Recorder("TxEmpty"));
    Port->Open();
    Fake->RaiseEvents(CommEvent::RxChar | CommEvent::TxEmpty);
    ASSERT_TRUE(Eventually(*Fake, [&] { return rxChars == 1; }));
    Fake->RaiseEvents(CommEvent::RxChar | CommEvent::TxEmpty);
    ASSERT_TRUE(Eventually(*Fake, [&] { return SeenNow().size() == 1; }));
    EXPECT_EQ(rxChars, 2);
    EXPECT_TRUE(Port->EventThreadRunning());
}

TEST_F(EventPort, RemovingTheLastHandlerStopsTheThreadAndLeavesTheMaskZero)
{
    Port->SetOnRxChar(Recorder("RxChar"));
    Port->SetOnCTSChange(Recorder("CTSChange"));
    Port->Open();
    EXPECT_EQ(Fake->Mask(), CommEvent::RxChar | CommEvent::Cts);
    Port->SetOnRxChar(nullptr);
    EXPECT_TRUE(Port->EventThreadRunning());
    EXPECT_EQ(Fake->Mask(), CommEvent::Cts);
    Port->SetOnCTSChange(nullptr);
    EXPECT_FALSE(Port->EventThreadRunning());
    EXPECT_EQ(Fake->Mask(), 0U);
    Port->SetOnRxChar(Recorder("RxChar")); // starts again
    EXPECT_TRUE(Port->EventThreadRunning());
    Port->Close();
    EXPECT_FALSE(Port->EventThreadRunning());
}

TEST_F(EventPort, AFailedWaitIsReportedAndALostDeviceClosesThePort)
{
    std::atomic<int> reported{0};
    Port->SetOnError([&](TCustomComPort&, const EComError& e, TComAction&) {
        if (e.ErrorCode() == 5)
            ++reported;
    });
    Port->SetOnRxChar(Recorder("RxChar"));
    Fake->FailCall("WaitCommEvent", 5);
    Port->Open();
    ASSERT_TRUE(Eventually(*Fake, [&] { return reported == 1 && !Port->Active(); }));
    EXPECT_FALSE(Port->EventThreadRunning());
}

TEST_F(EventPort, SynchronizedHandlersRunOnTheMainThread)
{
    auto main = std::make_shared<TQueueDispatcher>(*Fake);
    Port->SetMainThreadDispatcher(main);
    Port->SetSynchronizeEvents(true);
    std::atomic<bool> onMain{false};
    std::atomic<bool> ran{false};
    const auto mainId = std::this_thread::get_id();
    Port->SetOnRxChar([&](TCustomComPort&) {
        onMain = std::this_thread::get_id() == mainId;
        ran = true;
    });
    Port->Open();
    Fake->RaiseEvents(CommEvent::RxChar);
    ASSERT_TRUE(Eventually(
        *Fake, [&] { return ran.load(); }, main.get()));
    EXPECT_TRUE(onMain);
    Port.reset();
}

// The destructor runs on the main thread while the event thread waits for that thread to run a
// handler: it lets the thread go without serving any queued call (no event runs inside the
// destructor, nothing spins) and the handler never runs on a port being destroyed.
TEST_F(EventPort, DestroyingThePortWhileAHandlerWaitsForTheMainThreadServesNothing)
{
    auto main = std::make_shared<TQueueDispatcher>(*Fake);
    Port->SetMainThreadDispatcher(main);
    Port->SetSynchronizeEvents(true);
    std::atomic<int> ran{0};
    Port->SetOnRxChar([&](TCustomComPort&) { ++ran; });
    Port->Open();
    Fake->RaiseEvents(CommEvent::RxChar);
    ASSERT_TRUE(Eventually(*Fake, [&] { return main->Posted() == 1; }));
    Port.reset();
    main->Serve(); // the call posted before finds its port gone and does nothing
    EXPECT_EQ(ran, 0);
}

} // namespace
