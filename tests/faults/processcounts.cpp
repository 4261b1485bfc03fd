#include "tests/faults/processcounts.h"

#include <chrono>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::size_t EntryCount(const char* path)
{
    DIR* dir = opendir(path);
    if (dir == nullptr)
        return 0;
    std::size_t count = 0;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(dir);
    return count;
}

} // namespace

std::size_t OpenDescriptorCount()
{
    // The listing holds a descriptor of its own while it runs.
    const std::size_t count = EntryCount("/proc/self/fd");
    return count > 0 ? count - 1 : 0;
}

std::size_t ThreadCount()
{
    return EntryCount("/proc/self/task");
}

std::size_t ThreadCountSettledAt(std::size_t expected)
{
    // The kernel announces no removal, so this looks again; the limit only ends a wait for a
    // thread that was left running.
    const auto guard = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    std::size_t count = ThreadCount();
    while (count > expected && std::chrono::steady_clock::now() < guard) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        count = ThreadCount();
    }
    return count;
}

std::size_t ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::stoul(line.substr(6));
    return 0;
}
