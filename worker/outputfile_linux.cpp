#include "serial/uniquefd.h"
#include "worker/outputfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

long WriteOutputFile(const std::string& name, const char* data, std::size_t count)
{
    // Opening some devices has effects of its own (a terminal's modem lines), so a name that
    // already leads elsewhere than to a regular file is not opened at all.
    struct stat info
    {
    };
    if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return -1;
    // Not truncated on opening: the name may have changed into a FIFO or a device since. Without
    // a reader a FIFO then refuses the open instead of blocking it; with one, fstat tells.
    TUniqueFd fd(
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        ::ftruncate(fd.Get(), 0) != 0)
        return -1;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd.Get(), data + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long>(done);
}
