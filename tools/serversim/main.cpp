// srvdiag-serversim: serves a pseudo-terminal as the server would and prints its slave name.
// Runs until interrupted (SIGINT, SIGTERM) or until a hang-up misbehaviour fires.

#include "tools/serversim/realtime.h"
#include "tools/serversim/simargs.h"
#include "tools/serversim/simpty.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <pthread.h>
#include <string>

namespace {

void Usage()
{
    std::cerr << "usage: srvdiag-serversim [options]\n" << SimArgsUsage();
}

} // namespace

int main(int argc, char** argv)
{
    TSimOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string error;
        const TSimArg parsed = ParseSimArg(argc, argv, i, options, error);
        if (parsed != TSimArg::Taken) {
            if (!error.empty())
                std::cerr << "srvdiag-serversim: " << error << "\n";
            Usage();
            return 2;
        }
    }

    LockProcessMemory();

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
