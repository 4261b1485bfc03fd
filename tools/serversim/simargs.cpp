#include "tools/serversim/simargs.h"

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

// A decimal number of at most max, digits only.
bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value)
{
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::strtoul(text.c_str(), nullptr, 10);
    return value <= max;
}

} // namespace

std::string SimArgsUsage()
{
    return "  --image FILE          memory image of 1536 bytes (default: built-in pattern)\n"
           "  --baud N              pace answers as an N baud line, 11 bits a byte\n"
           "  --silent              answer nothing\n"
           "  --wrong-id            identify as something else\n"
           "  --id XXXXXX           the six identification characters after VADOZIROZA\n"
           "  --probe55-silent      answer the first probe with 0x55, then stay silent\n"
           "  --probe55-ident       answer the first probe with 0x55, then identification "
           "characters\n"
           "  --echo-link-check     answer the first link-check byte\n"
           "  --fault KIND          ack, checksum, short, silence or hangup, at --block\n"
           "  --block N             block index the fault hits, 0 to 127 (default 0)\n"
           "  --refuse-shutdown     refuse the shutdown frame\n"
           "  --stray               two stray bytes ahead of the first probe answer\n"
           "  --hangup-after N      hang up after N received bytes\n"
           "  --stall-after N       take no more bytes once N received bytes are answered\n";
}

TSimArg ParseSimArg(int argc, char** argv, int& i, TSimOptions& options, std::string& error)
{
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    const std::string value = hasValue ? argv[i + 1] : "";
    unsigned long number = 0;
    const auto bad = [&](const std::string& why) {
        error = why;
        return TSimArg::Bad;
    };

    if (arg == "--silent")
        options.Silent = true;
    else if (arg == "--wrong-id")
        options.Identification[10] = 'B'; // "VADOZIROZB": rejected after all 19 steps
    else if (arg == "--probe55-silent")
        options.ProbeReply = TProbeReply::FiftyFiveThenSilent;
    else if (arg == "--probe55-ident")
        options.ProbeReply = TProbeReply::FiftyFiveThenIdent;
    else if (arg == "--echo-link-check")
        options.EchoFirstLinkCheck = true;
    else if (arg == "--refuse-shutdown")
        options.RefuseShutdown = true;
    else if (arg == "--stray")
        options.StrayBytes = true;
    else if (arg == "--id") {
        const bool identChars =
            value.size() == 6 &&
            value.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ[") == std::string::npos;
        if (!identChars)
            return bad("--id wants six characters from 0-9, A-Z and [");
        options.Identification.replace(11, 6, value);
        ++i;
    } else if (arg == "--image") {
        std::ifstream in(value, std::ios::binary);
        std::string image((std::istreambuf_iterator<char>(in)), {});
        if (!hasValue || !in.is_open() || image.size() != SimMemorySize)
            return bad("cannot read a memory image of 1536 bytes from " + value);
        options.Memory = image;
        ++i;
    } else if (arg == "--baud") {
        if (!ParseNumber(value, 4000000, number))
            return bad("--baud wants a number of at most 4000000");
        options.Baud = static_cast<std::uint32_t>(number);
        ++i;
    } else if (arg == "--fault") {
        if (!ParseFault(value, options.Fault))
            return bad("--fault wants ack, checksum, short, silence or hangup");
        ++i;
    } else if (arg == "--block") {
        if (!ParseNumber(value, 127, number))
            return bad("--block wants a block index from 0 to 127");
        options.FaultBlock = static_cast<int>(number);
        ++i;
    } else if (arg == "--hangup-after") {
        if (!ParseNumber(value, 1UL << 30, number))
            return bad("--hangup-after wants a byte count");
        options.HangUpAfter = number;
        ++i;
    } else if (arg == "--stall-after") {
        if (!ParseNumber(value, 1UL << 30, number))
            return bad("--stall-after wants a byte count");
        options.StallAfter = number;
        ++i;
    } else
        return TSimArg::NotOurs;
    return TSimArg::Taken;
}
