#include "tests/support/testhost.h"

#include "app/core/filepaths.h"
#include "app/core/wizardmodel.h"
#include "tests/support/scriptstages.h"
#include "worker/serthread.h"
#include "worker/serverport.h"

TTestHost::TTestHost(std::string iniPath) : Ini(std::move(iniPath)) {}

TTestHost::TTestHost(std::string iniPath, std::unique_ptr<TSerialPlatform> platform, TClock& clock)
    : Ini(std::move(iniPath)), ClockPtr(&clock), Port(std::move(platform))
{
}

std::filesystem::path TTestHost::TracePath() const
{
    return TracePathFor(Ini);
}

void TTestHost::Attach(TSerThread& worker, TScriptStages* stages)
{
    Worker = &worker;
    Stages = stages;
}

void TTestHost::WakeMainThread()
{
    ++Wakes;
    std::unique_lock guard(WakeLock);
    if (IdleDone != nullptr) {
        // The test's thread waits in Serve and takes the lock before it does anything else.
        Worker->ServeCalls();
        if (!IdleDoneHolds && (*IdleDone)()) {
            IdleDoneHolds = true;
            guard.unlock(); // so that the woken thread does not wait for the lock at once
            WakeCond.notify_all();
        }
        return;
    }
    ++PendingWakes;
    WakeCond.notify_all();
}

bool TTestHost::Serve(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (Worker != nullptr)
            Worker->ServeCalls();
        if (done())
            return true;
        // A wake that came since the last look is still pending here, so none is missed
        // between serving and waiting.
        std::unique_lock guard(WakeLock);
        if (ServeInline && Worker != nullptr && PendingWakes == 0) {
            IdleDone = &done;
            IdleDoneHolds = false;
        }
        const bool woken = WakeCond.wait_until(
            guard, deadline, [this] { return PendingWakes > 0 || IdleDoneHolds; });
        IdleDone = nullptr;
        if (!woken)
            return done();
        PendingWakes = 0;
    }
}

bool TTestHost::WaitForWakes(int count, std::chrono::milliseconds limit)
{
    std::unique_lock guard(WakeLock);
    return WakeCond.wait_for(guard, limit, [&] { return Wakes.load() >= count; });
}

bool TTestHost::ServeUntilParked(std::chrono::milliseconds limit)
{
    return Serve([this] { return Worker->Suspended(); }, limit);
}

void TTestHost::Start()
{
    PageValue.store(pgLanguage);
    ShowPage();
}

void TTestHost::Next()
{
    // On page 7 Next would close the window; that is Close here.
    if (const std::optional<TPage> page = WizardNext(PageValue.load())) {
        PageValue.store(*page);
        ShowPage();
    }
}

void TTestHost::Back()
{
    Worker->RequestBack();
    if (Stages != nullptr)
        Stages->Interrupt();
    Worker->Resume(); // wakes a parked worker, or cancels a park call still queued
}

void TTestHost::Close()
{
    Worker->Terminate();
    if (Stages != nullptr)
        Stages->Interrupt();
    Worker->Resume();
    Worker->WaitFor();
}

void TTestHost::SetFileName(const std::string& name)
{
    FileName = name;
    NextOn.store(!FileName.empty());
}

void TTestHost::ShowPage()
{
    const TPage page = PageValue.load();
    Shown.push_back(page);
    const TPageView view = WizardView(page, 0, FileName.empty());
    NextOn.store(view.NextButEnabled);
    if (view.HandOverDumpFileName && Worker != nullptr)
        Worker->SetDumpFileName(FileName);
    if (view.ClosePort)
        ReleaseServerPort(Port);
    if (view.ResumeWorker && Worker != nullptr)
        Worker->Resume();
}
