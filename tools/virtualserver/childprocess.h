#pragma once

#include <csignal>
#include <functional>
#include <string>
#include <vector>

// Blocks the signals that RunChild waits for (SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGUSR1) in the
// calling thread. Call it before any other thread starts, so that every thread inherits the mask
// and the signals reach RunChild's wait alone.
sigset_t BlockChildSignals();

// Starts command (searched in PATH) with the signal mask cleared and waits for its end. SIGTERM
// and SIGHUP are passed on to it; SIGINT is not, because a terminal sends Ctrl+C to the whole
// process group, the child included. Returns the child's exit code, 128 + the signal that ended
// it, or 127 when it could not be started. Each SIGUSR1 runs onUser1 on the calling thread.
int RunChild(const std::vector<std::string>& command, const sigset_t& signals,
             const std::function<void()>& onUser1 = {});
