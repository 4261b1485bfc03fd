#pragma once

#include "serial/comport.h"
#include "worker/workerhost.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TScriptStages;
class TSerThread;

// A wizard without a view for driving a TSerThread the test made itself. The test's own thread
// plays the main thread: it runs the handlers (Start, Next, Back, Close) and serves the worker's
// synchronized calls in Serve. Its page update keeps what the worker relies on (the Next state it
// reads, the hand-over of the file name, the port's release and the resume); the wizard's own
// page update is TWizardController's, tested over a fake view.
class TTestHost final : public TWorkerHost
{
public:
    explicit TTestHost(std::string iniPath = "srvdiag.INI");
    // A host whose port runs on the given platform and whose worker pauses on the given clock.
    TTestHost(std::string iniPath, std::unique_ptr<TSerialPlatform> platform, TClock& clock);

    // Before the first Serve. Scripted stages given here are told of every Back and close, so
    // that a step waiting for them ends.
    void Attach(TSerThread& worker, TScriptStages* stages = nullptr);
    // While the test's thread waits in Serve, the worker's synchronized calls run at once on the
    // worker's thread, which then also checks Serve's condition and wakes the test's thread only
    // once it holds. The worker's thread holds the host's lock meanwhile and the test's thread
    // takes it before it does anything else, so the calls stay one at a time with the test's own
    // work, and a hand-over costs no thread switch. Only for conditions that merely look at
    // state; before the first Serve.
    void ServeOnWorkerThreadWhileIdle() { ServeInline = true; }

    // How long a wait of the test's may last before it counts as a hang: never reached by a
    // working worker, however busy the machine, only there so that a broken one ends the test.
    static constexpr std::chrono::milliseconds HangGuard = std::chrono::seconds(30);

    // ---- Main-thread side (the test's thread) -----------------------------------------------
    // Serves synchronized calls until done() holds; returns done(). It looks again at every
    // wake, so whatever done() reads must change before a wake: the worker's page changes, Back
    // and parking all end in synchronized calls, and a hook or stage that changes state on the
    // worker thread for a test to see wakes the host (WakeMainThread) afterwards.
    bool Serve(const std::function<bool()>& done, std::chrono::milliseconds limit = HangGuard);
    // Waits, serving nothing, until WakeMainThread has been called count times in all.
    bool WaitForWakes(int count, std::chrono::milliseconds limit = HangGuard);
    bool ServeUntilParked(std::chrono::milliseconds limit = HangGuard);
    void Start();                              // first activation: page 1
    void Next();                               // the Next button (nothing on page 7)
    void Back();                               // the Back button
    void Close();                              // closing: terminate, resume, wait
    void SetFileName(const std::string& name); // typing in the file box

    std::vector<std::uint8_t> Shown;                                 // every page drawn, in order
    std::vector<std::uint8_t> Progress;                              // every progress value shown
    int RecentAdds = 0;                                              // AddRecent calls
    std::atomic<bool> Shutdown{false};                               // the shutdown option
    std::atomic<int> Wakes{0};                                       // WakeMainThread calls so far
    std::vector<std::pair<std::string, TComErrorKind>> OpenFailures; // PortOpenFailed calls

    // ---- TWorkerHost -------------------------------------------------------------------------
    TPage Page() const override { return PageValue.load(); }
    void SetPage(TPage page) override { PageValue.store(page); }
    bool NextEnabled() const override { return NextOn.load(); }
    // Beside the settings file the host was given, as the window's.
    std::filesystem::path TracePath() const override;
    TComPort& SerIF() override { return Port; }
    bool ShutdownChecked() const override { return Shutdown.load(); }
    TClock& Clock() override { return *ClockPtr; }
    void WakeMainThread() override;
    void ShowPage() override;
    void ShowProgress(std::uint8_t percent) override { Progress.push_back(percent); }
    void AddRecent() override { ++RecentAdds; }
    // Worker thread; read by the test once the stage is over.
    void PortOpenFailed(const std::string& deviceName, const EComError& error) override
    {
        OpenFailures.emplace_back(deviceName, error.Kind());
    }

private:
    TSerThread* Worker = nullptr;
    TScriptStages* Stages = nullptr;
    std::atomic<TPage> PageValue{pgNotStarted};
    std::atomic<bool> NextOn{true};
    std::string Ini;
    std::string FileName;
    TClock* ClockPtr = &SteadyClock();
    TComPort Port;

    std::mutex WakeLock;
    std::condition_variable WakeCond;
    int PendingWakes = 0;
    bool ServeInline = false;
    const std::function<bool()>* IdleDone = nullptr; // Serve's condition while it waits
    bool IdleDoneHolds = false;
};
