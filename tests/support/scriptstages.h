#pragma once

#include "worker/stages.h"
#include "worker/wizardpages.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

// One scripted run of a stage.
struct TStageStep
{
    TStageResult Result = srSuccess; // ResultCode the stage leaves
    std::string Trace;               // appended to the worker's Trace
    bool Throw = false;              // end the stage with an exception nobody catches
    // Wait until Back or termination is requested and Interrupt called (Result applies after).
    bool BlockUntilBack = false;
    int Percent = -1;       // ReadOut only: >= 0 runs a synchronized ShowProgress with it
    bool AddRecent = false; // ReadOut only: runs the host's AddRecent through a synchronized call

    // Builders: TStageStep::Fail(2).WithTrace("<4\r").UntilBack()
    static TStageStep Succeed() { return {}; }
    static TStageStep Fail(std::uint8_t result)
    {
        TStageStep step;
        step.Result = static_cast<TStageResult>(result);
        return step;
    }
    static TStageStep Throwing()
    {
        TStageStep step;
        step.Throw = true;
        return step;
    }
    TStageStep WithTrace(std::string trace) const
    {
        TStageStep step = *this;
        step.Trace = std::move(trace);
        return step;
    }
    TStageStep UntilBack() const
    {
        TStageStep step = *this;
        step.BlockUntilBack = true;
        return step;
    }
    TStageStep WithProgress(int percent) const
    {
        TStageStep step = *this;
        step.Percent = percent;
        return step;
    }
    TStageStep WithAddRecent() const
    {
        TStageStep step = *this;
        step.AddRecent = true;
        return step;
    }
};

// Stages a test scripts: each Connect and ReadOut takes the next step of its own queue; an empty
// queue runs a plain success. Safe to script from the test thread while the worker runs.
//
// A step that waits for Back stands for an exchange that notices Back at its next byte. It waits
// on an event, not on the clock: whoever requests Back or the close calls Interrupt afterwards
// (TTestHost does, for the stages it was attached with). Once waiting, the step wakes the main
// thread, so that a test serving until Blocking() sees it.
class TScriptStages final : public TStages
{
public:
    void ScriptConnect(const TStageStep& step);
    void ScriptReadOut(const TStageStep& step);

    int Connects() const { return ConnectCount.load(); }
    int ReadOuts() const { return ReadOutCount.load(); }
    bool Blocking() const { return InBlock.load(); } // a step is waiting for Back
    void Interrupt(); // any thread, after RequestBack or Terminate: a waiting step looks again

    void Connect(TSerThread& worker) override;
    void ReadOut(TSerThread& worker) override;

private:
    TStageStep Next(std::deque<TStageStep>& queue);
    void Run(TSerThread& worker, const TStageStep& step);

    std::mutex Lock;
    std::deque<TStageStep> ConnectSteps;
    std::deque<TStageStep> ReadOutSteps;
    std::atomic<int> ConnectCount{0};
    std::atomic<int> ReadOutCount{0};
    std::atomic<bool> InBlock{false};
    std::mutex BlockLock;
    std::condition_variable BlockCond;
};
