#include "tools/serversim/serversim.h"

#include "tools/serversim/realtime.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

timespec ToTimespec(std::chrono::steady_clock::duration d)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

} // namespace

TServerSim::TServerSim(TSimOptions options)
    : StopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), Model(std::move(options))
{
}

TServerSim::~TServerSim()
{
    if (StopFd >= 0)
        close(StopFd);
}

void TServerSim::Stop()
{
    const std::uint64_t one = 1;
    if (write(StopFd, &one, sizeof one) < 0) {
        // Only fails when the counter would overflow: it is already signalled then.
    }
}

void TServerSim::Serve(int fd)
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {StopFd, POLLIN, 0}};
    std::uint8_t buffer[256];
    // The tool gives each answer 50 ms: a busy machine must not make this thread miss that.
    ServeInRealTime();
    Epoch = TClock::now();
    if (Model.StalledFromStart()) {
        StallUntilStop(StopToolSending(fd));
        return;
    }
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if ((fds[0].revents & POLLIN) == 0) {
            if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                return; // a pty master reports POLLHUP while no slave is open
            continue;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return; // EIO on a pty master: the slave side is gone
        const auto arrived = TClock::now();
        bool hangUp = false;
        bool stall = false;
        for (ssize_t i = 0; i < n && !hangUp && !stall; ++i)
            Take(buffer[i], arrived, hangUp, stall);
        // The tool's side stops before the answer goes out: the answer must not let a byte of
        // the tool through first.
        const int stalled = stall ? StopToolSending(fd) : -1;
        const bool flushed = Flush(fd);
        if (stall) {
            StallUntilStop(stalled);
            return;
        }
        if (!flushed || hangUp)
            return;
    }
}

void TServerSim::Take(std::uint8_t byte, TClock::time_point arrived, bool& hangUp, bool& stall)
{
    const TServerModel::TEffect effect = Model.Receive(
        byte, std::chrono::duration_cast<TServerModel::TTime>(arrived - Epoch), Pending);
    hangUp = effect == TServerModel::TEffect::HangUp;
    stall = effect == TServerModel::TEffect::Stall;
    std::lock_guard guard(Lock);
    Seen.push_back(static_cast<char>(byte));
    const auto& requests = Model.Requests();
    SeenRequests.insert(SeenRequests.end(),
                        requests.begin() + static_cast<std::ptrdiff_t>(SeenRequests.size()),
                        requests.end());
    const auto& blocks = Model.BlocksServed();
    SeenBlocks.insert(SeenBlocks.end(),
                      blocks.begin() + static_cast<std::ptrdiff_t>(SeenBlocks.size()),
                      blocks.end());
    SeenShutdown = Model.ShutdownSeen();
    SeenHangUp = Model.HungUp();
}

// Stops the tool's side of a pseudo-terminal from sending, as towards a device whose input is
// full: its writes no longer complete. Gives the descriptor of that side (-1 for a descriptor
// that is no pseudo-terminal's master: the simulator then only stops reading).
int TServerSim::StopToolSending(int fd)
{
    const int peer = ioctl(fd, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (peer >= 0)
        tcflow(peer, TCOOFF);
    return peer;
}

// Reads nothing more until Stop; then the tool's side sends again.
void TServerSim::StallUntilStop(int peer)
{
    if (OnStall)
        OnStall();
    pollfd stop{StopFd, POLLIN, 0};
    while (poll(&stop, 1, -1) < 0 && errno == EINTR) {
    }
    if (peer >= 0) {
        tcflow(peer, TCOON);
        close(peer);
    }
}

bool TServerSim::Flush(int fd)
{
    std::size_t i = 0;
    while (i < Pending.size()) {
        auto now = TClock::now();
        const auto due = [&](std::size_t k) {
            return Epoch + std::chrono::duration_cast<TClock::duration>(Pending[k].At);
        };
        if (due(i) > now) {
            pollfd stop{StopFd, POLLIN, 0};
            const timespec wait = ToTimespec(due(i) - now);
            const int r = ppoll(&stop, 1, &wait, nullptr);
            if (r > 0)
                return false;
            if (r < 0 && errno != EINTR)
                return false;
            continue;
        }
        std::uint8_t out[256];
        std::size_t count = 0;
        while (i + count < Pending.size() && count < sizeof out && due(i + count) <= now) {
            out[count] = Pending[i + count].Byte;
            ++count;
        }
        std::size_t done = 0;
        while (done < count) {
            const ssize_t w = write(fd, out + done, count - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0 && errno == EAGAIN) {
                pollfd out{fd, POLLOUT, 0};
                poll(&out, 1, 100);
                continue;
            }
            if (w <= 0) {
                Pending.clear();
                return false;
            }
            done += static_cast<std::size_t>(w);
        }
        i += count;
    }
    Pending.clear();
    return true;
}

std::vector<std::string> TServerSim::Requests() const
{
    std::lock_guard guard(Lock);
    return SeenRequests;
}

std::vector<int> TServerSim::BlocksServed() const
{
    std::lock_guard guard(Lock);
    return SeenBlocks;
}

bool TServerSim::ShutdownSeen() const
{
    std::lock_guard guard(Lock);
    return SeenShutdown;
}

bool TServerSim::HungUp() const
{
    std::lock_guard guard(Lock);
    return SeenHangUp;
}

std::string TServerSim::ReceivedBytes() const
{
    std::lock_guard guard(Lock);
    return Seen;
}
