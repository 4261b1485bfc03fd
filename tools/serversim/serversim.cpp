#include "tools/serversim/serversim.h"

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

constexpr std::uint8_t Nak = 0x15;
constexpr std::uint8_t StrayFirst = 0xFE;
constexpr std::uint8_t StraySecond = 0xFF;
constexpr std::size_t IdentLength = 17;
constexpr int ReadReplyCount = 12;

std::uint8_t RotateAdd(std::uint8_t sum, std::uint8_t byte)
{
    const auto rotated = static_cast<std::uint8_t>((sum << 1) | (sum >> 7));
    return static_cast<std::uint8_t>(rotated + byte);
}

std::uint8_t FrameChecksum(const std::string& headerAndRequest)
{
    auto c = static_cast<std::uint8_t>(headerAndRequest[0]);
    for (std::size_t i = 1; i < headerAndRequest.size(); ++i)
        c = RotateAdd(c, static_cast<std::uint8_t>(headerAndRequest[i]));
    return static_cast<std::uint8_t>(0x80 | ((c + (c >> 6)) & 0x3F));
}

timespec ToTimespec(std::chrono::steady_clock::duration d)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

} // namespace

TServerSim::TServerSim(TSimOptions options)
    : Options(std::move(options)),
      ByteTime(Options.Baud == 0 ? TClock::duration::zero()
                                 : std::chrono::duration_cast<TClock::duration>(
                                       std::chrono::nanoseconds(11'000'000'000LL / Options.Baud))),
      StopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
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
    if (Options.StallAfter == 0u) {
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
        bool stall = false;
        for (ssize_t i = 0; i < n && !HangUpNow && !stall; ++i) {
            {
                std::lock_guard guard(Lock);
                Seen.push_back(static_cast<char>(buffer[i]));
                if (Options.HangUpAfter != 0 && Seen.size() >= Options.HangUpAfter)
                    HangUpNow = true;
                stall = Options.StallAfter && Seen.size() >= *Options.StallAfter;
            }
            if (!HangUpNow)
                Handle(buffer[i], arrived);
        }
        // The tool's side stops before the answer goes out: the answer must not let a byte of
        // the tool through first.
        const int stalled = stall && !HangUpNow ? StopToolSending(fd) : -1;
        const bool flushed = Flush(fd);
        if (stall && !HangUpNow) {
            StallUntilStop(stalled);
            return;
        }
        if (!flushed)
            return;
        if (HangUpNow) {
            std::lock_guard guard(Lock);
            SeenHangUp = true;
            return;
        }
    }
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

void TServerSim::Reset()
{
    State = TState::Wake;
    FirstProbe = true;
    Muted = false;
}

void TServerSim::Answer(std::uint8_t byte)
{
    if (Options.Silent || Muted)
        return;
    // The answer starts when the byte it answers is fully received and the line back is free.
    OutFree = std::max(OutFree, InFree) + ByteTime;
    Pending.emplace_back(OutFree, byte);
}

void TServerSim::Handle(std::uint8_t byte, TClock::time_point arrived)
{
    // The byte is complete at the server one byte time after the line is free for it.
    InFree = std::max(InFree, arrived) + ByteTime;
    Dispatch(byte);
}

void TServerSim::Dispatch(std::uint8_t byte)
{
    const auto restart = [&] {
        Reset();
        Dispatch(byte);
    };
    const auto& ident = Options.Identification;
    switch (State) {
    case TState::Wake:
    case TState::Probe:
        if (byte == 0x00 && FirstProbe) {
            FirstProbe = false;
            if (Options.StrayBytes) {
                Answer(StrayFirst);
                Answer(StraySecond);
            }
            if (Options.ProbeReply != TProbeReply::Normal) {
                Answer(0x55);
                State = TState::Probe;
                IdentIndex = 0;
                return;
            }
            Answer(0x00);
        } else if (byte == 0x00) {
            Answer(0x00);
            State = TState::Wake;
        } else if (byte == 0x55 && State == TState::Probe &&
                   Options.ProbeReply == TProbeReply::FiftyFiveThenIdent) {
            Answer(static_cast<std::uint8_t>('A' + IdentIndex++ % 26));
        } else if (byte == 0x80) {
            if (!ident.empty())
                Answer(static_cast<std::uint8_t>(ident[0]));
            State = TState::Ident2;
        }
        return;
    case TState::Ident2:
        if (byte != 0x00)
            return restart();
        Answer(0x55);
        State = TState::Ident3;
        return;
    case TState::Ident3:
        if (byte != 0xA5)
            return restart();
        Answer(0xF0);
        IdentIndex = 1;
        State = TState::IdentChars;
        return;
    case TState::IdentChars:
        if (byte != 0x55)
            return restart();
        if (IdentIndex < ident.size())
            Answer(static_cast<std::uint8_t>(ident[IdentIndex]));
        if (++IdentIndex == IdentLength)
            State = TState::Link1;
        return;
    case TState::Link1:
        if (byte != 0x00)
            return restart();
        if (Options.EchoFirstLinkCheck)
            Answer(0x00);
        State = TState::Link2;
        return;
    case TState::Link2:
        if (byte != 0x00)
            return restart();
        Answer(0x00);
        State = TState::Header;
        return;
    case TState::Header:
        if (byte == 0x00)
            return restart(); // no frame has an empty header: a new connect attempt
        [[fallthrough]];
    case TState::Body:
    case TState::Check:
    case TState::Poll:
        HandleFrameByte(byte);
        return;
    }
}

void TServerSim::HandleFrameByte(std::uint8_t byte)
{
    switch (State) {
    case TState::Header:
        Frame.assign(1, static_cast<char>(byte));
        RequestLength = byte & 0x3F;
        Block = -1;
        Muted = false;
        Answer(RequestLength == 0 ? 3 : 1);
        State = RequestLength == 0 ? TState::Check : TState::Body;
        return;
    case TState::Body: {
        Frame.push_back(static_cast<char>(byte));
        const std::size_t index = Frame.size() - 1;
        if (index == 2 && static_cast<std::uint8_t>(Frame[1]) == 0xFF && byte >= 0x80) {
            Block = byte - 0x80;
            if (Block == Options.FaultBlock && Options.Fault == TBlockFault::HangUp) {
                HangUpNow = true;
                return;
            }
            if (Block == Options.FaultBlock && Options.Fault == TBlockFault::Silence)
                Muted = true;
        }
        Answer(index == RequestLength ? 3 : 2);
        if (index == RequestLength)
            State = TState::Check;
        return;
    }
    case TState::Check: {
        const bool checksumGood = FrameChecksum(Frame) == byte;
        Frame.push_back(static_cast<char>(byte));
        const auto header = static_cast<std::uint8_t>(Frame[0]);
        const bool flagged = (header & 0x40) != 0;
        const bool isRead = flagged && RequestLength == 2 && Block >= 0;
        const bool isShutdown =
            !flagged && RequestLength == 1 && static_cast<std::uint8_t>(Frame[1]) == 0x04;
        {
            std::lock_guard guard(Lock);
            SeenRequests.push_back(Frame);
        }
        State = TState::Header;
        if (!checksumGood || (!isRead && !isShutdown)) {
            Answer(Nak);
            return;
        }
        if (isShutdown) {
            if (Options.RefuseShutdown) {
                Answer(Nak);
                return;
            }
            Answer(7);
            std::lock_guard guard(Lock);
            SeenShutdown = true;
            return;
        }
        const bool faulty = Block == Options.FaultBlock;
        Faulty = faulty && Options.Fault != TBlockFault::None;
        const auto marker = static_cast<std::uint8_t>(ReadReplyCount + 64);
        Answer(faulty && Options.Fault == TBlockFault::WrongAck ? 7 : marker);
        std::string data =
            Options.Memory.substr(static_cast<std::size_t>(Block) * ReadReplyCount, ReadReplyCount);
        data.resize(ReadReplyCount, '\0');
        std::uint8_t sum = marker;
        for (char d : data)
            sum = RotateAdd(sum, static_cast<std::uint8_t>(d));
        if (faulty && Options.Fault == TBlockFault::WrongChecksum)
            sum ^= 0x01;
        ReplyData = static_cast<char>(sum) + data;
        if (faulty && Options.Fault == TBlockFault::ShortReply)
            ReplyData.pop_back();
        ReplyCount = ReadReplyCount;
        PollIndex = 0;
        State = TState::Poll;
        return;
    }
    case TState::Poll:
        if (byte != static_cast<std::uint8_t>(0xC1 + PollIndex)) {
            Reset();
            Dispatch(byte);
            return;
        }
        if (PollIndex < ReplyData.size())
            Answer(static_cast<std::uint8_t>(ReplyData[PollIndex]));
        if (++PollIndex == static_cast<std::size_t>(ReplyCount) + 1) {
            State = TState::Header;
            if (!Muted && !Faulty && !Options.Silent) {
                std::lock_guard guard(Lock);
                SeenBlocks.push_back(Block);
            }
        }
        return;
    default:
        return;
    }
}

bool TServerSim::Flush(int fd)
{
    std::size_t i = 0;
    while (i < Pending.size()) {
        auto now = TClock::now();
        if (Pending[i].first > now) {
            pollfd stop{StopFd, POLLIN, 0};
            const timespec wait = ToTimespec(Pending[i].first - now);
            const int r = ppoll(&stop, 1, &wait, nullptr);
            if (r > 0)
                return false;
            if (r < 0 && errno != EINTR)
                return false;
            continue;
        }
        std::uint8_t out[256];
        std::size_t count = 0;
        while (i + count < Pending.size() && count < sizeof out &&
               Pending[i + count].first <= now) {
            out[count] = Pending[i + count].second;
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
