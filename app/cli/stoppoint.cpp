#include "app/cli/stoppoint.h"

#include "app/cli/tracewalk.h"

TStopPoint StopPointOf(const std::string& trace, std::uint8_t langIndex)
{
    const TTraceVerdict verdict = WalkTrace(trace).Verdict;
    TStopPoint stop{StageName(verdict.Stage), std::nullopt, VerdictText(verdict, langIndex)};
    if (verdict.Stage == TTraceStage::Block && verdict.Block >= 0)
        stop.Block = verdict.Block;
    return stop;
}
