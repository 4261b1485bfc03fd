#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// A program started for an end-to-end test, in a process group of its own so that it and its
// children can be signalled together (as a terminal's Ctrl+C does). The destructor ends the whole
// group if it still runs: SIGTERM, then SIGKILL after two seconds.
// The limit of every wait an end-to-end test makes for a program: it only ends a test that would
// otherwise hang, so it lies far beyond anything a busy machine makes of a run of seconds.
constexpr std::chrono::minutes HangGuard{4};

class TProcess
{
public:
    // env holds "NAME=value" entries added to (or replacing in) the test's environment. Standard
    // output goes to stdoutFile when given, else to /dev/null; standard error goes to stderrFile
    // when given (a file, or a terminal's device), else stays the test's.
    TProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
             const std::string& stdoutFile = "", const std::string& stderrFile = "");
    ~TProcess();
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;

    pid_t Pid() const { return Child; }
    // The exit code (128 + signal when a signal ended it), or nothing if it still runs after
    // limit.
    std::optional<int> WaitFor(std::chrono::milliseconds limit);
    void SignalGroup(int sig) const;

private:
    pid_t Child = -1;
    int PidFd = -1;
    std::optional<int> Status;
};

struct TRunResult
{
    std::optional<int> ExitCode; // nothing when it had to be killed at the time limit
    std::string Output;          // its standard output
    std::string Errors;          // its standard error
};

// Waits until process pid, which keeps sig blocked and takes it with sigwait or a signalfd, has
// taken the sig sent to it: true, or false when it ended or limit passed first.
bool WaitUntilTaken(pid_t pid, int sig, std::chrono::milliseconds limit);

// Runs a program to its end, at most limit long, and collects its standard output and error.
TRunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      std::chrono::milliseconds limit);

// The command line that runs program with args inside the virtual server at server, started
// with serverOptions and recording its line to lines.
std::vector<std::string> VirtualServerCommand(const std::string& server, const std::string& lines,
                                              const std::vector<std::string>& serverOptions,
                                              const std::string& program,
                                              const std::vector<std::string>& args = {});
