#pragma once

#include <cstddef>

// Figures of the running process, from /proc/self.
std::size_t OpenDescriptorCount(); // entries of /proc/self/fd, the directory's own excluded
std::size_t ThreadCount();         // entries of /proc/self/task
std::size_t ResidentKiB();         // VmRSS of /proc/self/status
