#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Where in a read-out a misbehaviour strikes: which byte or frame of the tool it answers.
enum class TFaultPosition : std::uint8_t {
    Probe,    // the first 0x00 of a connect attempt
    Wake,     // the first wake byte
    Ident1,   // identification step 1 (0x80)
    Ident2,   // step 2 (0x00)
    Ident3,   // step 3 (0xA5)
    Ident4,   // the first identification character (0x55)
    Ident19,  // the last identification character
    Link1,    // the first link-check byte (the server stays silent)
    Link2,    // the second link-check byte (the server echoes it)
    Shutdown, // the shutdown frame
    Block0,
    Block1,
    Block63,
    Block127,
};

enum class TFaultKind : std::uint8_t {
    None,
    Silence,       // no answer from the position on
    WrongAnswer,   // the answer byte at the position is wrong (or comes where none is due)
    WrongAck,      // the frame checksum byte is acknowledged wrongly
    WrongChecksum, // the reply checksum does not match the data
    ShortReply,    // the last byte of the frame's answer is missing
    HangUp,        // the device vanishes when the position's byte arrives, as an unplug does
    Stall,         // the position's byte is answered, then the device takes no more bytes
};

const char* FaultPositionName(TFaultPosition position);
const char* FaultKindName(TFaultKind kind);
int BlockOf(TFaultPosition position); // 0..127 for the block positions, -1 otherwise

// A relay between the tool and a healthy server that misbehaves once, at one position. It
// follows the protocol from the tool's bytes, so the position is found whatever path the tool
// takes; answers are attributed to the last position the tool reached (the tool always waits for
// the answers before it sends on). No I/O: the line that carries the bytes asks it about each.
class TFaultWalk
{
public:
    TFaultWalk(TFaultKind kind, TFaultPosition position) : Kind(kind), Position(position) {}

    // What the line does with a byte from the tool.
    struct TToolStep
    {
        bool HangUp = false; // the device vanishes now; the byte reaches no server
        std::string Inject;  // answers the relay gives itself, at once
    };
    TToolStep OnToolByte(std::uint8_t byte);
    // An answer of the server on its way to the tool; false: drop it.
    bool OnServerByte(std::uint8_t& byte);
    // Stall struck: once the answers of this byte are through, the device takes no more bytes.
    bool StallDue() const { return StallPending; }
    bool Struck() const { return StruckFlag; }

private:
    void Strike(TToolStep& step);

    TFaultKind Kind;
    TFaultPosition Position;
    enum class TPhase : std::uint8_t { Start, AfterProbe, Wake, Ident, Link1, Link2, Frames };
    TPhase Phase = TPhase::Start;
    int IdentStep = 0;
    bool InPosition = false; // the tool's last byte was at the fault's position
    std::string Frame;       // bytes of the tool's current frame
    std::size_t FrameLength = 0;
    std::size_t AnswerIndex = 0; // answer bytes of the current frame so far
    bool Muted = false;
    bool Corrupted = false; // the wrong answer has been given
    bool StallPending = false;
    bool StruckFlag = false;
};
