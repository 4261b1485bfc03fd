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

class TSerThread;

// A window without widgets for driving TSerThread. The test's own thread plays the main thread:
// it runs the window's handlers (Start, Next, Back, Close) and serves the worker's synchronized
// calls in Serve. Its page update and Next follow the wizard model, as the window's do: the Next
// state the worker reads, the hand-over of the file name, the port close and the resume.
class TTestHost final : public TWorkerHost
{
public:
    explicit TTestHost(std::string iniPath = "srvdiag.INI");
    // A host whose port runs on the given platform and whose worker pauses on the given clock.
    TTestHost(std::string iniPath, std::unique_ptr<TSerialPlatform> platform, TClock& clock);

    void Attach(TSerThread& worker); // before the first Serve

    // ---- Main-thread side (the test's thread) -----------------------------------------------
    // Serves synchronized calls until done() holds or the limit passes; returns done().
    bool Serve(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Waits, serving nothing, until WakeMainThread has been called count times in all.
    bool WaitForWakes(int count, std::chrono::milliseconds limit = std::chrono::seconds(10));
    bool ServeUntilParked(std::chrono::milliseconds limit = std::chrono::seconds(10));
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
    std::uint8_t Page() const override { return PageValue.load(); }
    void SetPage(std::uint8_t page) override { PageValue.store(page); }
    bool NextEnabled() const override { return NextOn.load(); }
    std::filesystem::path IniPath() const override { return Ini; }
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
    std::atomic<std::uint8_t> PageValue{0};
    std::atomic<bool> NextOn{true};
    std::string Ini;
    std::string FileName;
    TClock* ClockPtr = &SteadyClock();
    TComPort Port;

    std::mutex WakeLock;
    std::condition_variable WakeCond;
    int PendingWakes = 0;
};
