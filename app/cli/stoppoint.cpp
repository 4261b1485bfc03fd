#include "app/cli/stoppoint.h"

#include "app/cli/clitexts.h"

TStopPoint StopPointOf(const std::string& trace, std::uint8_t langIndex)
{
    (void)trace;
    return {"", std::nullopt, CliText(cmExchangeFailed, langIndex)};
}
