#include "tests/support/faultwalk.h"

namespace {

constexpr std::size_t ShutdownFrameLength = 3; // 1, 4, 134
constexpr std::size_t ReadFrameLength = 17;    // 66, 255, 128 + b, checksum, 13 poll bytes
constexpr std::uint8_t Nak = 0x15;

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

TFaultWalk::TToolStep TFaultWalk::OnToolByte(std::uint8_t byte)
{
    TToolStep step;
    bool at = false;
    switch (Phase) {
    case TPhase::Start:
        if (byte != 0x00)
            return step;
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
            FrameLength = byte == 0x01   ? ShutdownFrameLength
                          : byte == 0x42 ? ReadFrameLength
                                         : static_cast<std::size_t>(byte & 0x3F) + 2;
            InPosition = false;
        }
        Frame.push_back(static_cast<char>(byte));
        if (Frame.size() == 2 && static_cast<std::uint8_t>(Frame[0]) == 0x01 && byte == 0x04)
            at = Position == TFaultPosition::Shutdown;
        else if (Frame.size() == 3 && static_cast<std::uint8_t>(Frame[0]) == 0x42 &&
                 static_cast<std::uint8_t>(Frame[1]) == 0xFF)
            at = BlockOf(Position) == byte - 0x80;
        else
            return step; // the rest of a frame keeps the frame's standing
        break;
    }
    InPosition = at;
    if (at && !StruckFlag)
        Strike(step);
    return step;
}

void TFaultWalk::Strike(TToolStep& step)
{
    StruckFlag = true;
    switch (Kind) {
    case TFaultKind::Silence:
        Muted = true;
        break;
    case TFaultKind::HangUp:
        step.HangUp = true;
        break;
    case TFaultKind::Stall:
        StallPending = true;
        break;
    case TFaultKind::WrongAnswer:
        if (Position == TFaultPosition::Link1) {
            // The server must stay silent here; an answer is the fault.
            step.Inject = std::string(1, '\0');
            Corrupted = true;
        }
        break;
    default:
        break;
    }
}

bool TFaultWalk::OnServerByte(std::uint8_t& byte)
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
