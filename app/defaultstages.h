#pragma once

#include "worker/stages.h"

#include <memory>

// The stages the program runs: the ones that talk to a server over the system's devices.
std::unique_ptr<TStages> MakeDefaultStages();
