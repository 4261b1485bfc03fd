#include "tests/support/scriptstages.h"

#include "tests/support/testhost.h"
#include "worker/serthread.h"
#include "worker/workerhost.h"

#include <stdexcept>

void TScriptStages::ScriptConnect(const TStageStep& step)
{
    std::lock_guard guard(Lock);
    ConnectSteps.push_back(step);
}

void TScriptStages::ScriptReadOut(const TStageStep& step)
{
    std::lock_guard guard(Lock);
    ReadOutSteps.push_back(step);
}

TStageStep TScriptStages::Next(std::deque<TStageStep>& queue)
{
    std::lock_guard guard(Lock);
    if (queue.empty())
        return {};
    TStageStep step = queue.front();
    queue.pop_front();
    return step;
}

void TScriptStages::Connect(TSerThread& worker)
{
    ++ConnectCount;
    Run(worker, Next(ConnectSteps));
}

void TScriptStages::ReadOut(TSerThread& worker)
{
    ++ReadOutCount;
    const TStageStep step = Next(ReadOutSteps);
    if (step.Percent >= 0) {
        worker.ProgressPercent = static_cast<std::uint8_t>(step.Percent);
        const std::uint8_t percent = worker.ProgressPercent;
        worker.Synchronize([&worker, percent] { worker.Host().ShowProgress(percent); });
    }
    if (step.AddRecent)
        worker.Synchronize([&worker] { worker.Host().AddRecent(); });
    Run(worker, step);
}

void TScriptStages::Interrupt()
{
    // Taking the lock orders this after the flag the caller set: a step between its look at the
    // flags and its wait cannot miss the notification.
    std::lock_guard guard(BlockLock);
    BlockCond.notify_all();
}

void TScriptStages::Run(TSerThread& worker, const TStageStep& step)
{
    worker.Trace += step.Trace;
    if (step.BlockUntilBack) {
        InBlock.store(true);
        worker.Host().WakeMainThread();
        std::unique_lock guard(BlockLock);
        const bool interrupted = BlockCond.wait_for(guard, TTestHost::HangGuard, [&worker] {
            return worker.BackRequested() || worker.Terminated();
        });
        InBlock.store(false);
        if (!interrupted)
            throw std::runtime_error("scripted stage waited for Back in vain");
    }
    if (step.Throw)
        throw std::runtime_error("scripted stage failure");
    worker.SetResultCode(step.Result);
}
