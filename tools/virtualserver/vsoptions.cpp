#include "tools/virtualserver/vsoptions.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

bool ParseFault(const std::string& kind, TBlockFault& fault)
{
    if (kind == "ack")
        fault = TBlockFault::WrongAck;
    else if (kind == "checksum")
        fault = TBlockFault::WrongChecksum;
    else if (kind == "short")
        fault = TBlockFault::ShortReply;
    else if (kind == "silence")
        fault = TBlockFault::Silence;
    else if (kind == "hangup")
        fault = TBlockFault::HangUp;
    else
        return false;
    return true;
}

bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::strtoul(text.c_str(), nullptr, 10);
    return value <= max;
}

} // namespace

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
           "  --lines FILE          write the DTR/RTS changes with their times to FILE\n"
           "Server behaviour:\n"
           "  --image FILE          memory image of 1536 bytes (default: built-in pattern)\n"
           "  --baud N              pace answers as an N baud line, 11 bits a byte\n"
           "  --silent              answer nothing\n"
           "  --wrong-id            identify as something else\n"
           "  --probe55-silent      answer the first probe with 0x55, then stay silent\n"
           "  --probe55-ident       answer the first probe with 0x55, then identification "
           "characters\n"
           "  --echo-link-check     answer the first link-check byte\n"
           "  --fault KIND          ack, checksum, short, silence or hangup, at --block\n"
           "  --block N             block index the fault hits, 0 to 127 (default 0)\n"
           "  --refuse-shutdown     refuse the shutdown frame\n"
           "  --stray               two stray bytes ahead of the first probe answer\n"
           "  --hangup-after N      hang up after N received bytes\n"
           "  --help                show this text\n";
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
        const bool hasValue = i + 1 < argc;
        const std::string value = hasValue ? argv[i + 1] : "";
        unsigned long number = 0;
        if (arg == "--help") {
            options.Help = true;
            return "";
        } else if (arg == "--no-server") {
            options.Layout = TDeviceLayout::NoServer;
        } else if (arg == "--other-product") {
            options.Layout = TDeviceLayout::OtherProduct;
        } else if (arg == "--two-servers") {
            options.Layout = TDeviceLayout::TwoServers;
        } else if (arg == "--lines" && hasValue) {
            options.LinesFile = value;
            ++i;
        } else if (arg == "--image" && hasValue) {
            std::ifstream in(value, std::ios::binary);
            std::string image((std::istreambuf_iterator<char>(in)), {});
            if (!in.is_open() || image.size() != SimMemorySize)
                return "cannot read a memory image of 1536 bytes from " + value;
            options.Sim.Memory = image;
            ++i;
        } else if (arg == "--baud" && hasValue && ParseNumber(value, 4000000, number)) {
            options.Sim.Baud = static_cast<std::uint32_t>(number);
            ++i;
        } else if (arg == "--silent") {
            options.Sim.Silent = true;
        } else if (arg == "--wrong-id") {
            options.Sim.Identification[10] = 'B'; // "VADOZIROZB": rejected after all 19 steps
        } else if (arg == "--probe55-silent") {
            options.Sim.ProbeReply = TProbeReply::FiftyFiveThenSilent;
        } else if (arg == "--probe55-ident") {
            options.Sim.ProbeReply = TProbeReply::FiftyFiveThenIdent;
        } else if (arg == "--echo-link-check") {
            options.Sim.EchoFirstLinkCheck = true;
        } else if (arg == "--fault" && hasValue && ParseFault(value, options.Sim.Fault)) {
            ++i;
        } else if (arg == "--block" && hasValue && ParseNumber(value, 127, number)) {
            options.Sim.FaultBlock = static_cast<int>(number);
            ++i;
        } else if (arg == "--refuse-shutdown") {
            options.Sim.RefuseShutdown = true;
        } else if (arg == "--stray") {
            options.Sim.StrayBytes = true;
        } else if (arg == "--hangup-after" && hasValue && ParseNumber(value, 1u << 30, number)) {
            options.Sim.HangUpAfter = number;
            ++i;
        } else {
            return "unknown option or bad value: " + arg;
        }
    }
    for (; i < argc; ++i)
        options.Command.emplace_back(argv[i]);
    if (options.Command.empty())
        return "no program given";
    return "";
}
