#include "tools/virtualserver/vsoptions.h"

#include "tools/serversim/simargs.h"

std::string VirtualServerUsage()
{
    return "usage: srvdiag-virtualserver [options] [--] PROGRAM [ARGUMENTS...]\n"
           "Starts PROGRAM inside a umockdev test bed that holds a virtual server on USB\n"
           "(04d8:fe88, /dev/ttyACM0) and waits for it; exits with PROGRAM's exit status.\n"
           "\n"
           "Devices:\n"
           "  --no-server           no matching USB device, only an unrelated one\n"
           "  --other-product       the server's vendor with product fe89 instead\n"
           "  --two-servers         two matching devices, the first without a tty\n"
           "  --two-ports           two servers with a tty each: ttyACM0 at 1-1 and ttyACM1 at\n"
           "                        1-2, the second with identification SECOND and its memory\n"
           "                        image inverted\n"
           "  --then                the server options that follow are those of the next server:\n"
           "                        each SIGUSR1 unplugs the server present and plugs in the next\n"
           "                        one (at 1-1, under a new device number), the last one none\n"
           "  --lines FILE          write the DTR/RTS changes with their times to FILE\n"
           "  --received FILE       write every byte the server received to FILE\n"
           "Server behaviour:\n" +
           SimArgsUsage() + "  --help                show this text\n";
}

std::string ParseVirtualServerOptions(int argc, char** argv, TVirtualServerOptions& options)
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
        } else if (arg == "--no-server") {
            options.Layout = TDeviceLayout::NoServer;
        } else if (arg == "--other-product") {
            options.Layout = TDeviceLayout::OtherProduct;
        } else if (arg == "--two-servers") {
            options.Layout = TDeviceLayout::TwoServers;
        } else if (arg == "--two-ports") {
            options.Layout = TDeviceLayout::TwoPorts;
        } else if (arg == "--then") {
            options.Then.emplace_back();
        } else if (arg == "--lines" && i + 1 < argc) {
            options.LinesFile = argv[++i];
        } else if (arg == "--received" && i + 1 < argc) {
            options.ReceivedFile = argv[++i];
        } else {
            std::string error;
            TSimOptions& sim = options.Then.empty() ? options.Sim : options.Then.back();
            switch (ParseSimArg(argc, argv, i, sim, error)) {
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
    if (!options.Then.empty() && options.Layout != TDeviceLayout::Server &&
        options.Layout != TDeviceLayout::NoServer)
        return "--then goes only with the default layout or --no-server";
    return "";
}
