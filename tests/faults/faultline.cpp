#include "tests/faults/faultline.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

TFaultLine::TFaultLine(TFaultKind kind, TFaultPosition position, TSimOptions options)
    : Kind(kind), Position(position), Options(std::move(options))
{
    PlugIn();
    StartServer();
}

TFaultLine::~TFaultLine()
{
    StopServer();
    CloseDevice();
}

std::string TFaultLine::DeviceName() const
{
    std::lock_guard guard(Lock);
    return Name;
}

std::string TFaultLine::FromTool() const
{
    std::lock_guard guard(Lock);
    return Received;
}

std::string TFaultLine::ToTool() const
{
    std::lock_guard guard(Lock);
    return Delivered;
}

void TFaultLine::Heal()
{
    Rearm(TFaultKind::None, Position);
}

void TFaultLine::Rearm(TFaultKind kind, TFaultPosition position)
{
    StopServer();
    Kind = kind;
    Position = position;
    StruckFlag.store(false);
    if (HungUp) {
        CloseDevice();
        PlugIn();
    }
    {
        std::lock_guard guard(Lock);
        Received.clear();
        Delivered.clear();
    }
    StartServer();
}

void TFaultLine::PlugIn()
{
    char name[256] = {};
    if (openpty(&Master, &Keeper, name, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    fcntl(Master, F_SETFD, FD_CLOEXEC);
    fcntl(Keeper, F_SETFD, FD_CLOEXEC);
    // Raw at once: a cooked slave would echo the server's bytes before the tool sets the line up.
    // The kept slave descriptor lets the tool close and reopen the device without a hang-up.
    termios tio{};
    if (tcgetattr(Keeper, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(Keeper, TCSANOW, &tio);
    }
    HungUp = false;
    std::lock_guard guard(Lock);
    Name = name;
}

void TFaultLine::CloseDevice()
{
    CloseFd(Master);
    CloseFd(Keeper);
}

void TFaultLine::StartServer()
{
    int pair[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        throw std::runtime_error(std::string("socketpair: ") + std::strerror(errno));
    SimSide = pair[0];
    RelaySide = pair[1];
    StopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Walk = TFaultWalk(Kind, Position);
    Sim = std::make_unique<TServerSim>(Options);
    SimThread = std::thread([this] { Sim->Serve(SimSide); });
    RelayThread = std::thread([this] { Relay(); });
}

void TFaultLine::StopServer()
{
    if (RelayThread.joinable()) {
        const std::uint64_t one = 1;
        if (::write(StopFd, &one, sizeof one) < 0) {
            // Cannot fail for a fresh eventfd counter.
        }
        RelayThread.join();
    }
    if (Stalled && Keeper >= 0)
        tcflow(Keeper, TCOON);
    Stalled = false;
    if (Sim)
        Sim->Stop();
    if (SimThread.joinable())
        SimThread.join();
    Sim.reset();
    CloseFd(SimSide);
    CloseFd(RelaySide);
    CloseFd(StopFd);
}

void TFaultLine::Relay()
{
    std::uint8_t buffer[512];
    for (;;) {
        pollfd fds[3] = {{Master, POLLIN, 0}, {RelaySide, POLLIN, 0}, {StopFd, POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[2].revents != 0)
            return;
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t n = ::read(Master, buffer, sizeof buffer);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                return;
            // Forwarded in one write, as they came: a terminal delivers each write on its own.
            std::string forward;
            for (ssize_t i = 0; i < n; ++i) {
                {
                    std::lock_guard guard(Lock);
                    Received.push_back(static_cast<char>(buffer[i]));
                }
                const TFaultWalk::TToolStep step = Walk.OnToolByte(buffer[i]);
                if (Walk.Struck())
                    StruckFlag.store(true);
                Deliver(step.Inject);
                if (step.HangUp) {
                    HungUp = true;
                    // Gone as an unplugged device is: both sides of the terminal close, so the
                    // tool's descriptor hangs up and its node disappears.
                    CloseDevice();
                    return;
                }
                forward.push_back(static_cast<char>(buffer[i]));
            }
            WriteAll(RelaySide, forward);
        }
        if ((fds[1].revents & POLLIN) != 0) {
            const ssize_t n = ::read(RelaySide, buffer, sizeof buffer);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                return;
            std::string answers;
            for (ssize_t i = 0; i < n; ++i) {
                std::uint8_t byte = buffer[i];
                if (Walk.OnServerByte(byte))
                    answers.push_back(static_cast<char>(byte));
            }
            if (Walk.StallDue() && !Stalled && !answers.empty()) {
                // The tool's side of the terminal stops sending, as towards a device whose
                // input is full: its writes no longer complete. Before the answer goes out, so
                // that no byte of the tool slips through first.
                tcflow(Keeper, TCOOFF);
                Stalled = true;
            }
            Deliver(answers);
        }
    }
}

void TFaultLine::WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return;
        done += static_cast<std::size_t>(w);
    }
}

void TFaultLine::Deliver(const std::string& bytes)
{
    if (bytes.empty())
        return;
    // Recorded first: the tool may read, fail and write its trace before this thread runs again,
    // and the record must already hold every byte the trace can show.
    {
        std::lock_guard guard(Lock);
        Delivered += bytes;
    }
    WriteAll(Master, bytes);
}
