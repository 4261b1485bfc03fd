#pragma once

#include "protocol/tracewalk.h"

#include <cstdint>
#include <string>

// What srvdiag-cli says about a trace walk's verdict.

// The short sentence for a verdict, in English (langIndex 0) or Dutch (1), without a final
// full stop: "no answer to block 50", "wrong checksum in block 3", "line lost at block 20",
// "server refused the shutdown command", "identification text does not match", ...
std::string VerdictText(const TTraceVerdict& verdict, std::uint8_t langIndex);

// A sentence or two on what usually causes the verdict's failure, English or Dutch.
std::string VerdictCause(const TTraceVerdict& verdict, std::uint8_t langIndex);

// Stable lower-case names for machine-readable output: "identification", "block", ...;
// "no-answer", "wrong-checksum", ...
const char* StageName(TTraceStage stage);
const char* FaultName(TTraceFault fault);
