// srvdiag-serversim: serves a pseudo-terminal as the server would and prints its slave name.
// Runs until interrupted (SIGINT, SIGTERM) or until a hang-up misbehaviour fires.

#include "tools/serversim/simpty.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <pthread.h>
#include <string>

namespace {

void Usage()
{
    std::cerr << "usage: srvdiag-serversim [options]\n"
                 "  --image FILE          memory image of 1536 bytes (default: built-in pattern)\n"
                 "  --baud N              pace answers as an N baud line, 11 bits a byte\n"
                 "  --silent              answer nothing\n"
                 "  --wrong-id            identify as something else\n"
                 "  --probe55-silent      answer the first probe with 0x55, then stay silent\n"
                 "  --probe55-ident       answer the first probe with 0x55, then identification "
                 "characters\n"
                 "  --echo-link-check     answer the first link-check byte\n"
                 "  --fault KIND          ack, checksum, short, silence or hangup, at --block\n"
                 "  --block N             block index the fault hits (default 0)\n"
                 "  --refuse-shutdown     refuse the shutdown frame\n"
                 "  --stray               two stray bytes ahead of the first probe answer\n"
                 "  --hangup-after N      hang up after N received bytes\n";
}

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

} // namespace

int main(int argc, char** argv)
{
    TSimOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--image" && hasValue) {
            std::ifstream in(argv[++i], std::ios::binary);
            std::string image((std::istreambuf_iterator<char>(in)), {});
            if (!in.good() && !in.eof()) {
                std::cerr << "srvdiag-serversim: cannot read " << argv[i] << "\n";
                return 2;
            }
            image.resize(SimMemorySize, '\0');
            options.Memory = image;
        } else if (arg == "--baud" && hasValue) {
            options.Baud = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--silent") {
            options.Silent = true;
        } else if (arg == "--wrong-id") {
            options.Identification[10] = 'B';
        } else if (arg == "--probe55-silent") {
            options.ProbeReply = TProbeReply::FiftyFiveThenSilent;
        } else if (arg == "--probe55-ident") {
            options.ProbeReply = TProbeReply::FiftyFiveThenIdent;
        } else if (arg == "--echo-link-check") {
            options.EchoFirstLinkCheck = true;
        } else if (arg == "--fault" && hasValue && ParseFault(argv[i + 1], options.Fault)) {
            ++i;
        } else if (arg == "--block" && hasValue) {
            options.FaultBlock = std::atoi(argv[++i]);
        } else if (arg == "--refuse-shutdown") {
            options.RefuseShutdown = true;
        } else if (arg == "--stray") {
            options.StrayBytes = true;
        } else if (arg == "--hangup-after" && hasValue) {
            options.HangUpAfter = static_cast<std::size_t>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            Usage();
            return 2;
        }
    }

    // Signals are taken by sigwait on this thread, so the serving thread never sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    // When serving ends by itself (a hang-up), the program ends too.
    TSimPty pty(options, [] { kill(getpid(), SIGTERM); });
    std::cout << pty.SlaveName() << std::endl;
    int sig = 0;
    sigwait(&signals, &sig);
    pty.HangUp();
    return 0;
}
