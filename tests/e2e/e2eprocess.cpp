#include "tests/e2e/e2eprocess.h"

#include "tests/e2e/e2efiles.h"
#include "tools/serversim/realtime.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

TProcess::TProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& stdoutFile, const std::string& stderrFile)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const std::string out = stdoutFile.empty() ? "/dev/null" : stdoutFile;

    Child = fork();
    if (Child < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (Child == 0) {
        setpgid(0, 0);
        // Should the test itself be killed, its X server and programs go with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        RunAsOrdinaryThread(); // whatever policy the test runs under: the program gets its own
        for (const std::string& entry : env)
            putenv(const_cast<char*>(entry.c_str()));
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            dup2(fd, STDOUT_FILENO);
        if (in >= 0)
            dup2(in, STDIN_FILENO);
        if (!stderrFile.empty()) {
            const int err =
                open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (err >= 0)
                dup2(err, STDERR_FILENO);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    setpgid(Child, Child); // also here, so that a signal right after the start reaches the group
    PidFd = static_cast<int>(syscall(SYS_pidfd_open, Child, 0));
}

TProcess::~TProcess()
{
    if (!Status && Child > 0) {
        SignalGroup(SIGTERM);
        if (!WaitFor(std::chrono::seconds(2))) {
            SignalGroup(SIGKILL);
            WaitFor(std::chrono::seconds(5));
        }
    }
    if (PidFd >= 0)
        close(PidFd);
}

std::optional<int> TProcess::WaitFor(std::chrono::milliseconds limit)
{
    if (Status)
        return Status;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(Child, &status, WNOHANG);
        if (done == Child) {
            Status = WIFEXITED(status) ? WEXITSTATUS(status)
                                       : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
            return Status;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p{PidFd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(left.count()));
    }
}

void TProcess::SignalGroup(int sig) const
{
    if (Child > 0)
        kill(-Child, sig);
}

namespace {

// Whether sig is pending for pid, from the masks in /proc/PID/status; nothing when it is gone.
std::optional<bool> Pending(pid_t pid, int sig)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    if (!status)
        return std::nullopt;
    const unsigned long long bit = 1ULL << (sig - 1);
    bool pending = false;
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("ShdPnd:", 0) == 0 || line.rfind("SigPnd:", 0) == 0)
            pending = pending || (std::stoull(line.substr(7), nullptr, 16) & bit) != 0;
    return pending;
}

} // namespace

bool WaitUntilTaken(pid_t pid, int sig, std::chrono::milliseconds limit)
{
    // The kernel tells no one when a pending signal is taken: this looks every millisecond.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::optional<bool> pending = Pending(pid, sig);
        if (!pending)
            return false;
        if (!*pending)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        const timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
}

TRunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      std::chrono::milliseconds limit)
{
    TTempDir dir;
    const std::string out = dir.Path() + "/stdout";
    const std::string err = dir.Path() + "/stderr";
    TRunResult result;
    {
        TProcess process(argv, env, out, err);
        result.ExitCode = process.WaitFor(limit);
    }
    result.Output = ReadFile(out);
    result.Errors = ReadFile(err);
    return result;
}

std::vector<std::string> VirtualServerCommand(const std::string& server, const std::string& lines,
                                              const std::vector<std::string>& serverOptions,
                                              const std::string& program,
                                              const std::vector<std::string>& args)
{
    std::vector<std::string> argv{server, "--lines", lines};
    argv.insert(argv.end(), serverOptions.begin(), serverOptions.end());
    argv.push_back("--");
    argv.push_back(program);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}
