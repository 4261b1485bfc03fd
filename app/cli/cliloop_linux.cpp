#include "app/cli/cliloop.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <poll.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

// SIGINT, SIGTERM and SIGHUP stay blocked in every thread while the loop exists (threads inherit
// the mask of the thread that starts them), so that they arrive only through the signalfd: each
// of them ends a read-out as Ctrl+C does, and the program then exits with 128 + its number.
struct TCliLoop::TSystem
{
    sigset_t Signals{};
    int Interrupt = -1;
    int WakeFd = -1;

    TSystem()
    {
        // A reader of the texts that goes away (`srvdiag-cli out.DMP | head -c1`) must not end
        // the read-out: writing to it then fails with EPIPE, which the texts ignore, instead of
        // SIGPIPE killing the program before the dump is written.
        std::signal(SIGPIPE, SIG_IGN);
        sigemptyset(&Signals);
        for (const int sig : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&Signals, sig);
        pthread_sigmask(SIG_BLOCK, &Signals, nullptr);
        Interrupt = signalfd(-1, &Signals, SFD_CLOEXEC | SFD_NONBLOCK);
        WakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (Interrupt < 0 || WakeFd < 0) {
            Close();
            throw std::runtime_error("cannot watch for Ctrl+C");
        }
    }
    ~TSystem() { Close(); }
    void Close()
    {
        if (Interrupt >= 0)
            close(Interrupt);
        if (WakeFd >= 0)
            close(WakeFd);
        Interrupt = WakeFd = -1;
    }
    // The second signal ends the program at once: the other threads keep them blocked, so it
    // goes to the main thread with its default action.
    void ReleaseInterrupt() { pthread_sigmask(SIG_UNBLOCK, &Signals, nullptr); }
};

TCliLoop::TCliLoop() : System(std::make_unique<TSystem>()) {}

TCliLoop::~TCliLoop() = default;

void TCliLoop::Wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(System->WakeFd, &one, sizeof one);
}

TCliLoop::TWaitResult TCliLoop::WaitForEvents(bool watchInterrupt)
{
    pollfd fds[2] = {{System->WakeFd, POLLIN, 0}, {System->Interrupt, POLLIN, 0}};
    if (poll(fds, watchInterrupt ? 2 : 1, -1) < 0) {
        if (errno == EINTR)
            return {};
        throw std::runtime_error("poll failed");
    }
    TWaitResult got;
    if (fds[0].revents & POLLIN) {
        std::uint64_t value = 0;
        [[maybe_unused]] const ssize_t count = read(System->WakeFd, &value, sizeof value);
        got.Woken = true;
    }
    if (watchInterrupt && (fds[1].revents & POLLIN)) {
        signalfd_siginfo info{};
        while (read(System->Interrupt, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (got.Signal == 0)
                got.Signal = static_cast<int>(info.ssi_signo);
        }
        System->ReleaseInterrupt();
        got.Interrupted = true;
    }
    return got;
}
