// The serial platform on Linux: termios2, poll and the modem-control ioctls on a nonblocking
// descriptor. <termios.h> is not included: its struct termios clashes with the kernel's
// <asm/termbits.h>, which has termios2 for arbitrary bit rates.
#include "serial/nice_linux.h"
#include "serial/serialplatform.h"
#include "serial/systemmessage.h"
#include "serial/termiosmapping_linux.h"
#include "serial/uniquefd.h"

#include <algorithm>
#include <asm/ioctls.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <linux/serial.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace {

std::int64_t NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

constexpr std::int64_t kNoDeadline = INT64_MAX;

std::int64_t DeadlineAfterMs(std::int64_t ms)
{
    return NowNs() + ms * 1000000;
}

// A pseudo-terminal or another tty without modem-control lines answers these.
bool NoModemLines(int err)
{
    return err == ENOTTY || err == EINVAL;
}

bool DeviceGone(short revents)
{
    return revents & (POLLHUP | POLLERR);
}

// The nice value of thread `tid` (0: the calling thread), or no value when it cannot be read.
std::optional<int> NiceOf(pid_t tid)
{
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice == -1 && errno != 0)
        return std::nullopt;
    return nice;
}

// Nice value `nice` for thread `tid` (0: the calling thread), or the nearest one the process may
// set when that is refused; a refusal is otherwise ignored, as a priority request is advisory.
void SetNice(pid_t tid, int nice)
{
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0)
        return;
    rlimit limit{};
    const std::optional<int> current = NiceOf(tid);
    if (!current || getrlimit(RLIMIT_NICE, &limit) != 0)
        return;
    if (const std::optional<int> nearest = NiceFallback(nice, *current, limit.rlim_cur))
        setpriority(PRIO_PROCESS, static_cast<id_t>(tid), *nearest);
}

// The threads of this process.
std::vector<pid_t> ProcessThreads()
{
    std::vector<pid_t> threads;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const std::string name = entry.path().filename().string();
        char* end = nullptr;
        const long tid = std::strtol(name.c_str(), &end, 10);
        if (end != name.c_str() && *end == '\0')
            threads.push_back(static_cast<pid_t>(tid));
    }
    return threads;
}

// One transfer direction: what is asked, what is done, and until when.
struct TTransfer
{
    std::uint8_t* Buffer = nullptr;
    std::int32_t Length = 0;
    std::int32_t Done = 0;
    bool Pending = false;
    bool Aborted = false;
    std::int64_t TotalDeadline = kNoDeadline;
};

// The comm-event wait: its own epoll set over a duplicate of the device descriptor and an
// eventfd for the wake-up, shared with a waiting thread so that closing the port never pulls a
// descriptor from under it.
struct TEventWaiter
{
    TUniqueFd Epoll;
    TUniqueFd Wake;
    TUniqueFd Device;

    void Signal() const
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(Wake.Get(), &one, sizeof one);
    }
};

constexpr std::uint32_t kLineEvents = CommEvent::Cts | CommEvent::Dsr | CommEvent::Rlsd |
                                      CommEvent::Ring | CommEvent::Break | CommEvent::Err;
// Modem lines and line errors are seen through the kernel's interrupt counters, which only a
// blocking TIOCMIWAIT could wait for; it cannot be woken, so they are sampled at this period.
constexpr int kLineSamplePeriodMs = 10;

class TLinuxSerialPlatform final : public TSerialPlatform
{
public:
    TLinuxSerialPlatform() : CancelWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~TLinuxSerialPlatform() override { Close(); }

    bool IsOpen() const override { return Fd.Valid(); }

    std::int32_t Open(const std::string& deviceName) override
    {
        ClearCancel();
        TUniqueFd fd(::open(deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!fd.Valid())
            return errno;
        if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
            return errno;
        if (ioctl(fd.Get(), TIOCEXCL) != 0)
            return errno;
        termios2 t{};
        if (ioctl(fd.Get(), TCGETS2, &t) != 0)
            return errno;
        // Linux raises DTR and RTS on open; the port's first line settings lower them again.
        int lines = TIOCM_DTR | TIOCM_RTS;
        if (ioctl(fd.Get(), TIOCMGET, &lines) != 0 && !NoModemLines(errno))
            return errno;
        MakeRawTermios(t);
        Applied = t;
        AppliedValid = false; // the raw mode reaches the device with the first settings
        Lines = lines & (TIOCM_DTR | TIOCM_RTS);
        Current = LineSettingsFromTermios(t, Lines);
        Read = {};
        Write = {};
        {
            std::lock_guard lock(CountLock);
            CountsKnown = false;
        }
        Fd = std::move(fd);
        return 0;
    }

    void Close() override
    {
        {
            std::lock_guard lock(WaiterLock);
            if (Waiter)
                Waiter->Signal();
            Waiter.reset();
        }
        if (!Fd.Valid())
            return;
        ioctl(Fd.Get(), TIOCNXCL);
        // What the device has not taken is discarded: a device that stopped taking bytes would
        // otherwise hold the close while the driver drains its output (cdc_acm waits up to 30 s).
        ioctl(Fd.Get(), TCFLSH, TCOFLUSH);
        // A waiting event thread may still hold a duplicate of the descriptor: unlock now so the
        // device can be opened again at once.
        flock(Fd.Get(), LOCK_UN);
        Fd.Reset();
        Read = {};
        Write = {};
    }

    std::int32_t SetQueueSizes(std::int32_t, std::int32_t) override
    {
        // A Linux tty's queues have a fixed size.
        return Fd.Valid() ? 0 : EBADF;
    }

    std::int32_t GetLineSettings(TLineSettings& settings) override
    {
        if (!Fd.Valid())
            return EBADF;
        settings = Current;
        return 0;
    }

    std::int32_t SetLineSettings(const TLineSettings& settings) override
    {
        if (!Fd.Valid())
            return EBADF;
        termios2 t = Applied;
        if (const std::int32_t code = LineSettingsToTermios(settings, t))
            return code;
        if (!AppliedValid || std::memcmp(&t, &Applied, sizeof t) != 0) {
            if (ioctl(Fd.Get(), TCSETS2, &t) != 0)
                return errno;
            Applied = t;
            AppliedValid = true;
        }
        // DTR first, then RTS, each only when it changes.
        const int wanted = ModemLinesFor(settings, Lines);
        for (const int line : {TIOCM_DTR, TIOCM_RTS}) {
            if ((wanted & line) == (Lines & line))
                continue;
            const int bits = line;
            if (ioctl(Fd.Get(), (wanted & line) ? TIOCMBIS : TIOCMBIC, &bits) != 0 &&
                !NoModemLines(errno))
                return errno;
            Lines = (Lines & ~line) | (wanted & line);
        }
        Current = settings;
        return 0;
    }

    std::int32_t GetTimeouts(TCommTimeouts& timeouts) override
    {
        if (!Fd.Valid())
            return EBADF;
        timeouts = Timeouts;
        return 0;
    }

    std::int32_t SetTimeouts(const TCommTimeouts& timeouts) override
    {
        if (!Fd.Valid())
            return EBADF;
        Timeouts = timeouts;
        return 0;
    }

    std::int32_t Purge(std::uint32_t flags) override
    {
        if (!Fd.Valid())
            return EBADF;
        if (flags & PurgeFlag::RxAbort)
            Read.Aborted = Read.Pending;
        if (flags & PurgeFlag::TxAbort)
            Write.Aborted = Write.Pending;
        const bool rx = flags & PurgeFlag::RxClear;
        const bool tx = flags & PurgeFlag::TxClear;
        if (rx || tx) {
            const int queue = rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH);
            if (ioctl(Fd.Get(), TCFLSH, queue) != 0)
                return errno;
        }
        return 0;
    }

    std::int32_t StartRead(void* buffer, std::int32_t length) override
    {
        if (!Fd.Valid())
            return EBADF;
        Read = {static_cast<std::uint8_t*>(buffer), length, 0, true, false, kNoDeadline};
        const std::int64_t total =
            static_cast<std::int64_t>(Timeouts.ReadMultiplier) * length + Timeouts.ReadConstant;
        if (Timeouts.ReadInterval == -1 && total == 0) {
            // Return at once with what is there.
            const ssize_t n = ::read(Fd.Get(), Read.Buffer, static_cast<size_t>(length));
            Read.Pending = false;
            if (n < 0 && errno != EAGAIN)
                return errno;
            Read.Done = n > 0 ? static_cast<std::int32_t>(n) : 0;
            return 0;
        }
        if (total > 0)
            Read.TotalDeadline = DeadlineAfterMs(total);
        // Nothing is read yet: in an exchange the answer is rarely there this early, so the
        // wait step polls first and spares a read that would find nothing.
        return 0;
    }

    bool ReadPending() const override { return Read.Pending; }

    std::int32_t FinishRead(std::int32_t& transferred) override
    {
        std::int32_t code = 0;
        const std::int64_t interval = Timeouts.ReadInterval > 0 ? Timeouts.ReadInterval : 0;
        std::int64_t intervalDeadline = kNoDeadline;
        while (Read.Done < Read.Length && !Read.Aborted) {
            const std::int64_t deadline = std::min(Read.TotalDeadline, intervalDeadline);
            code = WaitFor(POLLIN, deadline);
            if (code == ETIMEDOUT) {
                code = 0;
                break;
            }
            if (code != 0 && code != EIO)
                break;
            const bool hungUp = code == EIO;
            const ssize_t n = ::read(Fd.Get(), Read.Buffer + Read.Done,
                                     static_cast<size_t>(Read.Length - Read.Done));
            if (n > 0) {
                code = 0;
                Read.Done += static_cast<std::int32_t>(n);
                if (interval > 0)
                    intervalDeadline = DeadlineAfterMs(interval);
                continue;
            }
            // Readable but nothing to read means the device is gone, never "nothing yet".
            if (n == 0) {
                code = EIO;
                break;
            }
            if (errno == EAGAIN || errno == EINTR) {
                code = hungUp ? EIO : 0;
                if (hungUp)
                    break;
                continue;
            }
            code = errno;
            break;
        }
        Read.Pending = false;
        transferred = Read.Done;
        return code;
    }

    std::int32_t StartWrite(const void* buffer, std::int32_t length) override
    {
        if (!Fd.Valid())
            return EBADF;
        Write = {static_cast<std::uint8_t*>(const_cast<void*>(buffer)),
                 length,
                 0,
                 false,
                 false,
                 kNoDeadline};
        const ssize_t n = ::write(Fd.Get(), buffer, static_cast<size_t>(length));
        if (n < 0 && errno != EAGAIN)
            return errno;
        Write.Done = n > 0 ? static_cast<std::int32_t>(n) : 0;
        if (Write.Done < length) {
            Write.Pending = true;
            const std::int64_t total =
                static_cast<std::int64_t>(Timeouts.WriteMultiplier) * length +
                Timeouts.WriteConstant;
            if (total > 0)
                Write.TotalDeadline = DeadlineAfterMs(total);
        }
        return 0;
    }

    bool WritePending() const override { return Write.Pending; }

    std::int32_t FinishWrite(std::int32_t& transferred) override
    {
        std::int32_t code = 0;
        while (Write.Done < Write.Length && !Write.Aborted) {
            code = WaitFor(POLLOUT, Write.TotalDeadline, true);
            if (code == ETIMEDOUT) {
                code = 0;
                break;
            }
            if (code != 0)
                break;
            const ssize_t n = ::write(Fd.Get(), Write.Buffer + Write.Done,
                                      static_cast<size_t>(Write.Length - Write.Done));
            if (n > 0) {
                Write.Done += static_cast<std::int32_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            code = n < 0 ? errno : EIO;
            break;
        }
        Write.Pending = false;
        transferred = Write.Done;
        return code;
    }

    void CancelWrites() override
    {
        Cancelled.store(true);
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(CancelWake.Get(), &one, sizeof one);
    }

    std::int32_t ClearCommError(std::uint32_t* errors, std::int32_t* inputCount) override
    {
        if (!Fd.Valid())
            return EBADF;
        if (inputCount) {
            int count = 0;
            if (ioctl(Fd.Get(), FIONREAD, &count) != 0)
                return errno;
            *inputCount = count;
        }
        if (errors) {
            *errors = 0;
            serial_icounter_struct counts{};
            if (ioctl(Fd.Get(), TIOCGICOUNT, &counts) != 0)
                return NoModemLines(errno) ? 0 : errno;
            std::lock_guard lock(CountLock);
            if (CountsKnown) {
                if (counts.brk != LastCounts.brk)
                    *errors |= CommError::Break;
                if (counts.frame != LastCounts.frame)
                    *errors |= CommError::Frame;
                if (counts.overrun != LastCounts.overrun)
                    *errors |= CommError::Overrun;
                if (counts.parity != LastCounts.parity)
                    *errors |= CommError::RxParity;
                if (counts.buf_overrun != LastCounts.buf_overrun)
                    *errors |= CommError::RxOver;
            }
            LastCounts = counts;
            CountsKnown = true;
        }
        return 0;
    }

    bool ErrorStateBlocks() const override { return false; }

    std::int32_t GetModemStatus(std::uint32_t& status) override
    {
        if (!Fd.Valid())
            return EBADF;
        int lines = 0;
        if (ioctl(Fd.Get(), TIOCMGET, &lines) != 0)
            return errno;
        status =
            ((lines & TIOCM_CTS) ? ModemBit::Cts : 0) | ((lines & TIOCM_DSR) ? ModemBit::Dsr : 0) |
            ((lines & TIOCM_RNG) ? ModemBit::Ring : 0) | ((lines & TIOCM_CD) ? ModemBit::Rlsd : 0);
        return 0;
    }

    std::int32_t SetCommMask(std::uint32_t mask) override
    {
        if (!Fd.Valid())
            return EBADF;
        Mask.store(mask);
        std::lock_guard lock(WaiterLock);
        if (!Waiter && mask != 0) {
            auto waiter = std::make_shared<TEventWaiter>();
            waiter->Epoll.Reset(epoll_create1(EPOLL_CLOEXEC));
            waiter->Wake.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
            waiter->Device.Reset(fcntl(Fd.Get(), F_DUPFD_CLOEXEC, 0));
            if (!waiter->Epoll.Valid() || !waiter->Wake.Valid() || !waiter->Device.Valid())
                return errno;
            epoll_event wake{};
            wake.events = EPOLLIN;
            wake.data.u32 = 0;
            // Edge-triggered on the device: each arrival (or drain of output) wakes once, also
            // while unread bytes are still waiting.
            epoll_event device{};
            device.events = EPOLLIN | EPOLLOUT | EPOLLET;
            device.data.u32 = 1;
            if (epoll_ctl(waiter->Epoll.Get(), EPOLL_CTL_ADD, waiter->Wake.Get(), &wake) != 0 ||
                epoll_ctl(waiter->Epoll.Get(), EPOLL_CTL_ADD, waiter->Device.Get(), &device) != 0)
                return errno;
            Waiter = std::move(waiter);
        }
        // A new mask ends a pending wait, as on other systems.
        if (Waiter)
            Waiter->Signal();
        return 0;
    }

    std::int32_t WaitCommEvent(std::uint32_t& events) override
    {
        std::shared_ptr<TEventWaiter> waiter;
        {
            std::lock_guard lock(WaiterLock);
            waiter = Waiter;
        }
        events = 0;
        if (!waiter)
            return EBADF;
        serial_icounter_struct before{};
        const bool haveCounts = ioctl(waiter->Device.Get(), TIOCGICOUNT, &before) == 0;
        while (true) {
            const std::uint32_t mask = Mask.load();
            const int timeout = (mask & kLineEvents) && haveCounts ? kLineSamplePeriodMs : -1;
            epoll_event ready[2];
            const int n = epoll_wait(waiter->Epoll.Get(), ready, 2, timeout);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            for (int i = 0; i < n; ++i) {
                if (ready[i].data.u32 == 0) {
                    std::uint64_t value = 0;
                    [[maybe_unused]] ssize_t r = ::read(waiter->Wake.Get(), &value, sizeof value);
                    return 0; // woken by a new mask or the close
                }
                if (ready[i].events & (EPOLLHUP | EPOLLERR))
                    return EIO;
                if ((ready[i].events & EPOLLIN) &&
                    (mask & (CommEvent::RxChar | CommEvent::RxFlag | CommEvent::Rx80Full)))
                    events |= mask & CommEvent::RxChar;
                if ((ready[i].events & EPOLLOUT) && (mask & CommEvent::TxEmpty)) {
                    int queued = 0;
                    if (ioctl(waiter->Device.Get(), TIOCOUTQ, &queued) == 0 && queued == 0)
                        events |= CommEvent::TxEmpty;
                }
            }
            if (haveCounts && (mask & kLineEvents)) {
                serial_icounter_struct now{};
                if (ioctl(waiter->Device.Get(), TIOCGICOUNT, &now) == 0) {
                    if (now.cts != before.cts)
                        events |= mask & CommEvent::Cts;
                    if (now.dsr != before.dsr)
                        events |= mask & CommEvent::Dsr;
                    if (now.dcd != before.dcd)
                        events |= mask & CommEvent::Rlsd;
                    if (now.rng != before.rng)
                        events |= mask & CommEvent::Ring;
                    if (now.brk != before.brk)
                        events |= mask & CommEvent::Break;
                    if (now.frame != before.frame || now.overrun != before.overrun ||
                        now.parity != before.parity || now.buf_overrun != before.buf_overrun)
                        events |= mask & CommEvent::Err;
                    before = now;
                }
            }
            if (events != 0)
                return 0;
        }
    }

    std::string SystemMessage(std::int32_t code) const override
    {
        char buffer[256];
        return TrimSystemMessage(strerror_r(code, buffer, sizeof buffer));
    }

    TComErrorKind ErrorKind(std::int32_t code) const override { return SystemComErrorKind(code); }

    // Nice is per thread on Linux: the class applies to every thread of the process, as a
    // priority class does elsewhere, and each thread gets its own value back, whichever thread
    // opens and whichever closes.
    std::int32_t SaveProcessPriority() override
    {
        SavedNice.clear();
        for (const pid_t tid : ProcessThreads())
            if (const std::optional<int> nice = NiceOf(tid))
                SavedNice.emplace_back(tid, *nice);
        return NiceOf(0).value_or(0);
    }

    void SetProcessPriority(TPriorityClass priorityClass) override
    {
        static constexpr int nice[] = {0, 19, 0, -10, -20};
        if (priorityClass == pcDefault)
            return;
        for (const pid_t tid : ProcessThreads())
            SetNice(tid, nice[priorityClass]);
    }

    void RestoreProcessPriority(std::int32_t) override
    {
        // Only threads still ours: an ended thread's id may belong to another process by now.
        const std::vector<pid_t> threads = ProcessThreads();
        for (const auto& [tid, nice] : SavedNice)
            if (std::find(threads.begin(), threads.end(), tid) != threads.end())
                SetNice(tid, nice);
        SavedNice.clear();
    }

    std::int64_t CurrentThreadId() const override { return gettid(); }

    void SetThreadPriority(std::int64_t threadId, TThreadPriority priority) override
    {
        static constexpr int nice[] = {19, 10, 5, 0, -5, -10, -20};
        SetNice(static_cast<pid_t>(threadId), nice[priority]);
    }

private:
    // A cancel from before this open no longer counts; one that comes during it does.
    void ClearCancel()
    {
        Cancelled.store(false);
        std::uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(CancelWake.Get(), &value, sizeof value);
    }

    // Waits until the device is ready for `events` or the deadline passes: 0 ready, ETIMEDOUT,
    // ECANCELED after CancelWrites (a write's wait only), EIO when the device hung up or failed,
    // or the poll's own error. The cancel's eventfd sits in the same poll, so a device that
    // takes no more bytes cannot hold a write.
    std::int32_t WaitFor(short events, std::int64_t deadline, bool cancellable = false)
    {
        pollfd fds[2] = {{Fd.Get(), events, 0}, {cancellable ? CancelWake.Get() : -1, POLLIN, 0}};
        pollfd& p = fds[0];
        while (true) {
            if (cancellable && Cancelled.load())
                return ECANCELED;
            timespec timeout{};
            timespec* limit = nullptr;
            bool lastLook = false;
            if (deadline != kNoDeadline) {
                // A thread that reaches its wait after the deadline (a busy machine did not run
                // it in time) still takes what has arrived: it looks once without waiting.
                const std::int64_t left = std::max<std::int64_t>(deadline - NowNs(), 0);
                lastLook = left == 0;
                timeout.tv_sec = static_cast<time_t>(left / 1000000000);
                timeout.tv_nsec = static_cast<long>(left % 1000000000);
                limit = &timeout;
            }
            const int n = ppoll(fds, 2, limit, nullptr);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (n == 0)
                return ETIMEDOUT;
            if (fds[1].revents != 0) {
                // Left over from a cancel before the last open: only the flag counts, and it is
                // tested again before the next poll.
                std::uint64_t value = 0;
                [[maybe_unused]] const ssize_t r = ::read(CancelWake.Get(), &value, sizeof value);
                continue;
            }
            if (p.revents & POLLNVAL)
                return EBADF;
            if (p.revents & events)
                return 0;
            if (DeviceGone(p.revents))
                return EIO;
            if (lastLook)
                return ETIMEDOUT;
        }
    }

    TUniqueFd Fd;
    termios2 Applied{};
    bool AppliedValid = false;
    int Lines = 0;
    TLineSettings Current;
    TCommTimeouts Timeouts;
    TTransfer Read;
    TTransfer Write;

    std::mutex CountLock;
    serial_icounter_struct LastCounts{};
    bool CountsKnown = false;

    std::mutex WaiterLock;
    std::shared_ptr<TEventWaiter> Waiter;

    std::vector<std::pair<pid_t, int>> SavedNice; // each thread's value before the open
    std::atomic<std::uint32_t> Mask{0};

    // CancelWrites: the flag decides, the eventfd wakes a wait. Both live as long as the
    // platform, so another thread may cancel while this one opens or closes the device.
    TUniqueFd CancelWake;
    std::atomic<bool> Cancelled{false};
};

} // namespace

std::unique_ptr<TSerialPlatform> CreateSystemSerialPlatform()
{
    return std::make_unique<TLinuxSerialPlatform>();
}
