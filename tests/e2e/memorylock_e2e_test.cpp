// The simulators lock their memory where the system lets them: under a finite lock limit that the
// present pages fit in (an ordinary user's, a container's), threads started afterwards still get
// their stacks.

#include "tools/serversim/realtime.h"

#include <fstream>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The bytes the process has mapped (VmSize), which a lock of all present pages takes.
unsigned long long MappedBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0)
            return std::stoull(line.substr(7)) * 1024;
    return 0;
}

// Leaves the process without CAP_IPC_LOCK, as an ordinary user's process is.
void DropMemoryLockPrivilege()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return;
    data[0].effective &= ~(1U << CAP_IPC_LOCK);
    data[0].permitted &= ~(1U << CAP_IPC_LOCK);
    syscall(SYS_capset, &header, data);
}

} // namespace

TEST(MemoryLock, ThreadsStartAfterLockingUnderAFiniteLimit)
{
#if defined(SRVDIAG_SANITIZED)
    // A sanitizer maps terabytes of shadow memory, which no lock limit can be set to hold, so the
    // simulators lock nothing under one and there is no lock to start threads after.
    GTEST_SKIP() << "the simulators lock no memory under a sanitizer";
#endif
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DropMemoryLockPrivilege();
        // Room for the present pages and a little more, not for another thread's stack.
        const rlim_t room = MappedBytes() + 1024 * 1024;
        const rlimit limit{room, room};
        if (setrlimit(RLIMIT_MEMLOCK, &limit) != 0)
            _exit(3);
        LockProcessMemory();
        try {
            std::thread([] {}).join();
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no thread could start after the lock";
}
