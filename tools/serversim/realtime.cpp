#include "tools/serversim/realtime.h"

#include <fstream>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>

namespace {

// Low among the real-time priorities: above every ordinary thread, below the kernel's own
// real-time threads, which the machine needs to stay usable.
constexpr int ServingPriority = 10;

#if !defined(SRVDIAG_SANITIZED)
// Whether the process may lock memory beyond RLIMIT_MEMLOCK (CAP_IPC_LOCK in its effective set).
bool MayLockWithoutLimit()
{
    constexpr unsigned long long IpcLock = 1ULL << 14; // CAP_IPC_LOCK
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("CapEff:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) & IpcLock) != 0;
    return false;
}
#endif

} // namespace

void ServeInRealTime()
{
    sched_param param{};
    param.sched_priority = ServingPriority;
    // Refused without CAP_SYS_NICE or a real-time limit: the thread keeps its policy.
    (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

void RunAsOrdinaryThread()
{
    // Async-signal-safe, for a child between fork and exec. Leaving a real-time policy needs no
    // privilege; under the ordinary policy it changes nothing.
    sched_param param{};
    param.sched_priority = 0;
    (void)sched_setscheduler(0, SCHED_OTHER, &param);
}

void LockProcessMemory()
{
#if !defined(SRVDIAG_SANITIZED)
    // A sanitizer's shadow memory is terabytes of reserved address space: never lock that.
    // Pages mapped later (thread stacks, the heap's growth) are locked too only where no limit
    // applies: under a finite RLIMIT_MEMLOCK that the present pages fit in, MCL_FUTURE would
    // make a later allocation fail once the limit is reached, and a thread could not start.
    rlimit limit{};
    const bool unlimited =
        (getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur == RLIM_INFINITY) ||
        MayLockWithoutLimit();
    (void)mlockall(unlimited ? MCL_CURRENT | MCL_FUTURE : MCL_CURRENT);
#endif
}
