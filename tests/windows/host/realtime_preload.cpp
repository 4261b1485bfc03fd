// Preloaded into the wineserver of the window tests, which the test scripts start under the
// real-time policy: every serial read of a program under Wine, its timeout included, passes
// through the wineserver, and a page it must first fetch from disk would cost the program's 50 ms
// as surely as a late start. The memory stays resident in the process and, since locks are not
// inherited, again in the child it forks to run in the background. Where the system refuses the
// lock, nothing changes.
#include "tools/serversim/realtime.h"

#include <pthread.h>

namespace {

void LockInChild()
{
    LockProcessMemory();
}

__attribute__((constructor)) void LockAtStart()
{
    LockProcessMemory();
    (void)pthread_atfork(nullptr, nullptr, LockInChild);
}

} // namespace
