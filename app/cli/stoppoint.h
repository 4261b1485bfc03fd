#pragma once

#include "app/cli/verdicttexts.h"

#include <cstdint>
#include <optional>
#include <string>

// Where and why the exchange of a read-out stopped, as the command line reports it.
struct TStopPoint
{
    std::string Stage;        // for --json: "identification", "link-check", "block", ...
    std::optional<int> Block; // the memory block (0 to 127) when the stage is one
    std::string Text;         // the short sentence, in the language asked for
};

TStopPoint StopPointOf(const TTraceVerdict& verdict, std::uint8_t langIndex);
