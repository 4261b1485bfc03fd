#include "tests/support/scriptstages.h"

#include "worker/serthread.h"
#include "worker/workerhost.h"

#include <chrono>
#include <stdexcept>
#include <thread>

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

void TScriptStages::Run(TSerThread& worker, const TStageStep& step)
{
    worker.Trace += step.Trace;
    if (step.BlockUntilBack) {
        InBlock.store(true);
        // A real stage notices Back at its next byte; a short nap stands in for that byte.
        while (!worker.BackRequested() && !worker.Terminated())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        InBlock.store(false);
    }
    if (step.Throw)
        throw std::runtime_error("scripted stage failure");
    worker.SetResultCode(step.Result);
}
