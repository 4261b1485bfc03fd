#pragma once

#include "tools/serversim/simoptions.h"
#include "tools/virtualserver/testbed.h"

#include <string>
#include <vector>

// The command line of srvdiag-virtualserver.
struct TVirtualServerOptions
{
    TDeviceLayout Layout = TDeviceLayout::Server;
    TSimOptions Sim; // the server plugged in first (on --two-ports: the one on ttyACM0)
    // The servers plugged in one after another in its place, one for each SIGUSR1: each comes
    // with the options after a --then.
    std::vector<TSimOptions> Then;
    std::string LinesFile;    // where the recorded DTR/RTS changes go; empty: nowhere
    std::string ReceivedFile; // where every byte the server received goes; empty: nowhere
    bool Help = false;
    std::vector<std::string> Command; // the program to start and its arguments
};

// Parses argv. Returns an error message, or empty on success.
std::string ParseVirtualServerOptions(int argc, char** argv, TVirtualServerOptions& options);

std::string VirtualServerUsage();
