#include "tools/serversim/realtime.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SRVDIAG_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SRVDIAG_SANITIZED 1
#endif

namespace {

// Low among the real-time priorities: above every ordinary thread, below the kernel's own
// real-time threads, which the machine needs to stay usable.
constexpr int ServingPriority = 10;

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
    (void)mlockall(MCL_CURRENT | MCL_FUTURE);
#endif
}
