#pragma once

#include "tools/serversim/simoptions.h"

#include <string>

// The simulator's command-line options, shared by srvdiag-serversim and srvdiag-virtualserver.

// The option lines of the usage text, one per option, each ending in a line feed.
std::string SimArgsUsage();

enum class TSimArg {
    NotOurs, // argv[i] is no simulator option: the caller looks at it
    Taken,   // parsed; i now points at the option's last word
    Bad,     // a simulator option with a missing or bad value; error says why
};

// Looks at argv[i] (and its value in argv[i + 1]).
TSimArg ParseSimArg(int argc, char** argv, int& i, TSimOptions& options, std::string& error);
