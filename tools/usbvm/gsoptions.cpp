#include "tools/usbvm/gsoptions.h"

#include "tools/serversim/simargs.h"

#include <cstdlib>

std::string GadgetServerUsage()
{
    return "usage: srvdiag-gadgetserver [options] [--] PROGRAM [ARGUMENTS...]\n"
           "Plugs the server in as a USB gadget (04d8:fe88, CDC-ACM) on the dummy host\n"
           "controller, serves the server simulator on its device side, starts PROGRAM with\n"
           "SRVDIAG_SERVER_TTY set to the host side's node and waits for it; unplugs the\n"
           "server at the end and exits with PROGRAM's exit status. For the usbvm machine.\n"
           "\n"
           "  --lines FILE          write the line states and first writes the host sent on\n"
           "                        the bus (usbmon), with their times, to FILE, as\n"
           "                        srvdiag-virtualserver does\n"
           "  --bus FILE            the same with every line coding sent\n"
           "  --replug-after MS     after a hang-up unplugs the server, plug it in again MS\n"
           "                        milliseconds later, served without the hang-up\n"
           "Server behaviour (a hang-up unplugs the server):\n" +
           SimArgsUsage() + "  --help                show this text\n";
}

std::string ParseGadgetServerOptions(int argc, char** argv, TGadgetServerOptions& options)
{
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.empty() || arg[0] != '-')
            break;
        if (arg == "--help") {
            options.Help = true;
            return "";
        } else if (arg == "--lines" && i + 1 < argc) {
            options.LinesFile = argv[++i];
        } else if (arg == "--bus" && i + 1 < argc) {
            options.BusFile = argv[++i];
        } else if (arg == "--replug-after" && i + 1 < argc) {
            const std::string value = argv[++i];
            if (value.empty() || value.size() > 6 ||
                value.find_first_not_of("0123456789") != std::string::npos)
                return "--replug-after wants milliseconds, at most 999999";
            options.Replug = true;
            options.ReplugDelay = std::chrono::milliseconds(std::atol(value.c_str()));
        } else {
            std::string error;
            switch (ParseSimArg(argc, argv, i, options.Sim, error)) {
            case TSimArg::Taken:
                break;
            case TSimArg::Bad:
                return error;
            case TSimArg::NotOurs:
                return "unknown option or bad value: " + arg;
            }
        }
    }
    for (; i < argc; ++i)
        options.Command.emplace_back(argv[i]);
    if (options.Command.empty())
        return "no program given";
    return "";
}
