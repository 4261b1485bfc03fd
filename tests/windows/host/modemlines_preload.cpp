// Preloaded into the Wine process of a Windows test: gives pseudo-terminal slaves the modem
// lines they lack. TIOCMGET/TIOCMSET/TIOCMBIS/TIOCMBIC on a pty slave read and change one word
// of this process; the lines the other end would drive start from SRVDIAG_MODEM_INPUT (TIOCM_*
// bits, decimal). Every change of DTR or RTS is appended to the file SRVDIAG_MODEM_LOG as
// "<monotonic ns> DTR=<0|1> RTS=<0|1>". Every other ioctl goes to the system.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

using TIoctl = int (*)(int, unsigned long, ...);

TIoctl SystemIoctl()
{
    static const TIoctl real = reinterpret_cast<TIoctl>(dlsym(RTLD_NEXT, "ioctl"));
    return real;
}

std::atomic<int>& Lines()
{
    static std::atomic<int> word{[] {
        const char* input = std::getenv("SRVDIAG_MODEM_INPUT");
        return input ? std::atoi(input) & (TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RI) : 0;
    }()};
    return word;
}

// Unix98 pty slaves have majors 136 to 143.
bool IsPtySlave(int fd)
{
    struct stat st
    {
    };
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
           major(st.st_rdev) <= 143;
}

void LogChange(int before, int after)
{
    const int outputs = TIOCM_DTR | TIOCM_RTS;
    if ((before & outputs) == (after & outputs))
        return;
    const char* path = std::getenv("SRVDIAG_MODEM_LOG");
    if (!path)
        return;
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    char line[96];
    const int n = std::snprintf(line, sizeof line, "%lld DTR=%d RTS=%d\n",
                                static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec,
                                (after & TIOCM_DTR) ? 1 : 0, (after & TIOCM_RTS) ? 1 : 0);
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    [[maybe_unused]] const ssize_t written = write(fd, line, static_cast<size_t>(n));
    close(fd);
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    const bool modem =
        request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (!modem || argument == nullptr || !IsPtySlave(fd))
        return SystemIoctl()(fd, request, argument);
    int* bits = static_cast<int*>(argument);
    const int outputs = TIOCM_DTR | TIOCM_RTS;
    std::atomic<int>& word = Lines();
    if (request == TIOCMGET) {
        *bits = word.load();
        return 0;
    }
    int before = word.load();
    int after = before;
    do {
        if (request == TIOCMSET)
            after = (before & ~outputs) | (*bits & outputs);
        else if (request == TIOCMBIS)
            after = before | (*bits & outputs);
        else
            after = before & ~(*bits & outputs);
    } while (!word.compare_exchange_weak(before, after));
    LogChange(before, after);
    return 0;
}
