#include "serial/uniquefd.h"
#include "worker/outputfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

using TStat = struct stat;

long Refuse(std::string* error, const TStat& info)
{
    if (error)
        *error =
            S_ISDIR(info.st_mode) ? std::generic_category().message(EISDIR) : "Not a regular file";
    return -1;
}

long Fail(std::string* error)
{
    if (error)
        *error = std::generic_category().message(errno);
    return -1;
}

} // namespace

long WriteOutputFile(const std::filesystem::path& name, const char* data, std::size_t count,
                     std::string* error)
{
    // Opening some devices has effects of its own (a terminal's modem lines), so a name that
    // already leads elsewhere than to a regular file is not opened at all.
    TStat info{};
    if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return Refuse(error, info);
    // Not truncated on opening: the name may have changed into a FIFO or a device since. Without
    // a reader a FIFO then refuses the open instead of blocking it; with one, fstat tells.
    TUniqueFd fd(
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0)
        return Fail(error);
    if (!S_ISREG(info.st_mode))
        return Refuse(error, info);
    if (::ftruncate(fd.Get(), 0) != 0)
        return Fail(error);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd.Get(), data + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(error);
        if (n == 0) {
            errno = ENOSPC;
            return Fail(error);
        }
        done += static_cast<std::size_t>(n);
    }
    // The bytes count as written once they reached the disk; some file systems report a failed
    // write only when the file is closed.
    if (::fsync(fd.Get()) != 0 || ::close(fd.Release()) != 0)
        return Fail(error);
    return static_cast<long>(done);
}
