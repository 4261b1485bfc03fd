#pragma once

#include "tools/serversim/simoptions.h"

#include <chrono>
#include <string>
#include <vector>

// The command line of srvdiag-gadgetserver.
struct TGadgetServerOptions
{
    TSimOptions Sim;
    std::string LinesFile; // the line record from usbmon without line codings; empty: nowhere
    std::string BusFile;   // the same with line codings
    // After the simulator hangs up (--fault hangup, --hangup-after) the gadget is unplugged;
    // with a replug delay it is plugged in again that much later, served by a simulator with
    // the same options but no hang-up.
    bool Replug = false;
    std::chrono::milliseconds ReplugDelay{0};
    bool Help = false;
    std::vector<std::string> Command;
};

// Parses argv. Returns an error message, or empty on success.
std::string ParseGadgetServerOptions(int argc, char** argv, TGadgetServerOptions& options);

std::string GadgetServerUsage();
