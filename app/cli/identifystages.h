#pragma once

#include "worker/stages.h"

#include <memory>
#include <string>

class TDeviceLister;

// What a quick identification found out.
struct TIdentifyResult
{
    bool Reached = false;  // the connect stage ran (it did not stop before discovery)
    bool Accepted = false; // the server identified itself as a server
    std::string IdText;    // the identification text as far as it came
};

// Stages for --list --identify: discovery, bring-up and the link check, no read-out, so that
// the server is identified and left as a connect leaves it. The outcome goes to result (written on
// the worker thread, to be read once the worker has ended); the worker itself always sees a
// success, so it writes no trace file and touches no dump.
std::unique_ptr<TStages> MakeIdentifyStages(std::unique_ptr<TDeviceLister> lister,
                                            std::shared_ptr<TIdentifyResult> result);
