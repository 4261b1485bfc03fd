#include "tools/virtualserver/childprocess.h"

#include "tools/serversim/realtime.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

sigset_t BlockChildSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        sigaddset(&signals, sig);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

int RunChild(const std::vector<std::string>& command, const sigset_t& signals,
             const std::function<void()>& onUser1)
{
    std::vector<char*> args;
    for (const std::string& arg : command)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "srvdiag-virtualserver: fork: %s\n", std::strerror(errno));
        return 127;
    }
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // The launcher serves in real time; the program runs as a user starts it.
        RunAsOrdinaryThread();
        // The test bed's libraries ignore SIGPIPE; the program starts as from a shell, where a
        // closed standard output would end it.
        signal(SIGPIPE, SIG_DFL);
        // The program's test bed goes with the launcher: should it be killed, so is the program.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        execvp(args[0], args.data());
        std::fprintf(stderr, "srvdiag-virtualserver: cannot start %s: %s\n", args[0],
                     std::strerror(errno));
        _exit(127);
    }

    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            if (WIFEXITED(status))
                return WEXITSTATUS(status);
            return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        }
        int sig = 0;
        if (sigwait(&signals, &sig) != 0)
            continue;
        if (sig == SIGTERM || sig == SIGHUP)
            kill(child, sig);
        else if (sig == SIGUSR1 && onUser1)
            onUser1();
    }
}
