#pragma once

#include <cstddef>

// Figures of the running process, from /proc/self.
std::size_t OpenDescriptorCount(); // entries of /proc/self/fd, the directory's own excluded
std::size_t ThreadCount();         // entries of /proc/self/task
// The thread count once the kernel has removed the threads that were joined: a joined thread
// leaves /proc/self/task a moment after the join returns, later on a busy machine. Looks again
// until the count is expected; a thread left running keeps it above that, and after a minute
// the count is returned as it stands.
std::size_t ThreadCountSettledAt(std::size_t expected);
std::size_t ResidentKiB(); // VmRSS of /proc/self/status
