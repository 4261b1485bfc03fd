#include "tests/faults/faultline.h"

#include "protocol/constants.h"
#include "protocol/frame.h"

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

// The tool's two frames as it writes them: the shutdown command (1, 4, 134) and a block's read
// request (66, 255, 128 + b, checksum, 13 poll bytes).
const std::size_t ShutdownFrameLength = FrameWrite(ShutdownRequest(), false, 0).size();
const std::size_t ReadFrameLength = FrameWrite(ReadRequest(0), true, ReadOut::BlockSize).size();
const std::uint8_t ShutdownHeader = FrameHeader(ShutdownRequest().size(), false);
const std::uint8_t ReadHeader = FrameHeader(ReadRequest(0).size(), true);
constexpr std::uint8_t Nak = 0x15;

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// The wrong answer a position gets: a byte the tool must not accept there.
std::uint8_t WrongAnswerFor(TFaultPosition position)
{
    switch (position) {
    case TFaultPosition::Probe:
        return 0x55; // "awake and identifying": the tool probes on, then wakes the server anyway
    case TFaultPosition::Wake:
        return 0x01; // not the 0x00 that ends waking: the tool wakes on
    case TFaultPosition::Ident1:
        return 0x00;
    case TFaultPosition::Ident2:
        return 0x54;
    case TFaultPosition::Ident3:
        return 0xF1;
    case TFaultPosition::Link2:
        return 0x01;
    default:
        return '\\'; // identification characters: one past the range
    }
}

} // namespace

const char* FaultPositionName(TFaultPosition position)
{
    switch (position) {
    case TFaultPosition::Probe:
        return "probe";
    case TFaultPosition::Wake:
        return "wake";
    case TFaultPosition::Ident1:
        return "ident step 1";
    case TFaultPosition::Ident2:
        return "ident step 2";
    case TFaultPosition::Ident3:
        return "ident step 3";
    case TFaultPosition::Ident4:
        return "ident step 4";
    case TFaultPosition::Ident19:
        return "ident step 19";
    case TFaultPosition::Link1:
        return "link check 1";
    case TFaultPosition::Link2:
        return "link check 2";
    case TFaultPosition::Shutdown:
        return "shutdown frame";
    case TFaultPosition::Block0:
        return "block 0";
    case TFaultPosition::Block1:
        return "block 1";
    case TFaultPosition::Block63:
        return "block 63";
    case TFaultPosition::Block127:
        return "block 127";
    }
    return "?";
}

const char* FaultKindName(TFaultKind kind)
{
    switch (kind) {
    case TFaultKind::None:
        return "none";
    case TFaultKind::Silence:
        return "silence";
    case TFaultKind::WrongAnswer:
        return "wrong answer";
    case TFaultKind::WrongAck:
        return "wrong ack";
    case TFaultKind::WrongChecksum:
        return "wrong checksum";
    case TFaultKind::ShortReply:
        return "short reply";
    case TFaultKind::HangUp:
        return "hang-up";
    case TFaultKind::Stall:
        return "stall";
    }
    return "?";
}

int BlockOf(TFaultPosition position)
{
    switch (position) {
    case TFaultPosition::Block0:
        return 0;
    case TFaultPosition::Block1:
        return 1;
    case TFaultPosition::Block63:
        return 63;
    case TFaultPosition::Block127:
        return 127;
    default:
        return -1;
    }
}

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
    ResetWalk();
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
    StallDue = false;
    if (Sim)
        Sim->Stop();
    if (SimThread.joinable())
        SimThread.join();
    Sim.reset();
    CloseFd(SimSide);
    CloseFd(RelaySide);
    CloseFd(StopFd);
}

void TFaultLine::ResetWalk()
{
    Phase = TPhase::Start;
    IdentStep = 0;
    InPosition = false;
    Frame.clear();
    FrameLength = 0;
    AnswerIndex = 0;
    Muted = false;
    Corrupted = false;
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
                OnToolByte(buffer[i]);
                if (HungUp) {
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
                if (OnServerByte(byte))
                    answers.push_back(static_cast<char>(byte));
            }
            if (StallDue && !answers.empty()) {
                // The tool's side of the terminal stops sending, as towards a device whose
                // input is full: its writes no longer complete. Before the answer goes out, so
                // that no byte of the tool slips through first.
                tcflow(Keeper, TCOOFF);
                StallDue = false;
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

void TFaultLine::OnToolByte(std::uint8_t byte)
{
    bool at = false;
    switch (Phase) {
    case TPhase::Start:
        if (byte != 0x00)
            return;
        at = Position == TFaultPosition::Probe;
        Phase = TPhase::AfterProbe;
        break;
    case TPhase::AfterProbe:
    case TPhase::Wake:
        if (byte == 0x55 && Phase == TPhase::AfterProbe) {
            at = Position == TFaultPosition::Probe; // a probe continuation
        } else if (byte == 0x00) {
            at = Position == TFaultPosition::Wake;
            Phase = TPhase::Wake;
        } else if (byte == 0x80) {
            at = Position == TFaultPosition::Ident1;
            Phase = TPhase::Ident;
            IdentStep = 1;
        }
        break;
    case TPhase::Ident:
        ++IdentStep;
        at = (IdentStep == 2 && Position == TFaultPosition::Ident2) ||
             (IdentStep == 3 && Position == TFaultPosition::Ident3) ||
             (IdentStep == 4 && Position == TFaultPosition::Ident4) ||
             (IdentStep == 19 && Position == TFaultPosition::Ident19);
        if (IdentStep == 19)
            Phase = TPhase::Link1;
        break;
    case TPhase::Link1:
        at = Position == TFaultPosition::Link1;
        Phase = TPhase::Link2;
        break;
    case TPhase::Link2:
        at = Position == TFaultPosition::Link2;
        Phase = TPhase::Frames;
        break;
    case TPhase::Frames:
        if (Frame.size() == FrameLength) {
            // A new frame: its answers are counted from here.
            Frame.clear();
            AnswerIndex = 0;
            FrameLength = byte == ShutdownHeader ? ShutdownFrameLength
                          : byte == ReadHeader   ? ReadFrameLength
                                                 : static_cast<std::size_t>(byte & 0x3F) + 2;
            InPosition = false;
        }
        Frame.push_back(static_cast<char>(byte));
        if (Frame.size() == 2 && static_cast<std::uint8_t>(Frame[0]) == ShutdownHeader &&
            byte == ReadOut::ShutdownCommand)
            at = Position == TFaultPosition::Shutdown;
        else if (Frame.size() == 3 && static_cast<std::uint8_t>(Frame[0]) == ReadHeader &&
                 static_cast<std::uint8_t>(Frame[1]) == ReadOut::ReadRequestLead)
            at = BlockOf(Position) == byte - ReadOut::ReadRequestBlockBase;
        else
            return; // the rest of a frame keeps the frame's standing
        break;
    }
    InPosition = at;
    if (at && !StruckFlag.load())
        Strike();
}

void TFaultLine::Strike()
{
    StruckFlag.store(true);
    switch (Kind) {
    case TFaultKind::Silence:
        Muted = true;
        break;
    case TFaultKind::HangUp:
        HungUp = true;
        break;
    case TFaultKind::Stall:
        StallDue = true;
        break;
    case TFaultKind::WrongAnswer:
        if (Position == TFaultPosition::Link1) {
            // The server must stay silent here; an answer is the fault.
            Deliver(std::string(1, '\0'));
            Corrupted = true;
        }
        break;
    default:
        break;
    }
}

bool TFaultLine::OnServerByte(std::uint8_t& byte)
{
    const std::size_t index = AnswerIndex++;
    if (Muted)
        return false;
    if (!InPosition || Kind == TFaultKind::None)
        return true;
    const bool shutdown = Position == TFaultPosition::Shutdown;
    switch (Kind) {
    case TFaultKind::WrongAnswer:
        if (!Corrupted) {
            Corrupted = true;
            byte = WrongAnswerFor(Position);
        }
        return true;
    case TFaultKind::WrongAck:
        if (index == (shutdown ? 2u : 3u))
            byte = shutdown ? Nak : 7;
        return true;
    case TFaultKind::WrongChecksum:
        if (index == 4)
            byte ^= 0x01;
        return true;
    case TFaultKind::ShortReply:
        return index + 1 != FrameLength;
    default:
        return true;
    }
}
