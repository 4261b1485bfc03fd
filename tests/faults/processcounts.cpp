#include "tests/faults/processcounts.h"

#include <dirent.h>
#include <fstream>
#include <string>

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

std::size_t ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::stoul(line.substr(6));
    return 0;
}
