#include "app/cli/stoppoint.h"

TStopPoint StopPointOf(const TTraceVerdict& verdict, std::uint8_t langIndex)
{
    TStopPoint stop{StageName(verdict.Stage), std::nullopt, VerdictText(verdict, langIndex)};
    if (verdict.Stage == TTraceStage::Block && verdict.Block >= 0)
        stop.Block = verdict.Block;
    return stop;
}
