#pragma once

#include "protocol/constants.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How the server answers the first probe byte of a connect attempt.
enum class TProbeReply : std::uint8_t {
    Normal,              // answers 0x00 like a wake byte, so the tool goes straight to waking
    FiftyFiveThenSilent, // answers 0x55, then leaves every 0x55 continuation unanswered
    FiftyFiveThenIdent,  // answers 0x55, then answers every 0x55 with an identification character
};

// A misbehaviour at the read request of one memory block (TSimOptions::FaultBlock).
enum class TBlockFault : std::uint8_t {
    None,
    WrongAck,      // acknowledges the frame checksum byte with 7 instead of 76
    WrongChecksum, // sends a reply checksum that does not match the data
    ShortReply,    // leaves the last poll byte unanswered (16 bytes instead of 17)
    Silence,       // answers nothing from the block index byte to the end of the frame
    HangUp,        // hangs up on receiving the block index byte
};

// The server's memory size and the answer it gives to identification step 1 plus its 16
// identification characters.
inline constexpr std::size_t SimMemorySize = ReadOut::MemorySize;
std::string DefaultIdentification(); // "\x11VADOZIROZA" followed by six identification characters
std::string PatternImage();          // the built-in 1536-byte memory image; no two blocks alike

// Everything the server can be told: misbehaviours, pacing and the memory image.
struct TSimOptions
{
    bool Silent = false;                                  // answers nothing at all
    std::string Identification = DefaultIdentification(); // 17 bytes; change it to be rejected
    TProbeReply ProbeReply = TProbeReply::Normal;
    bool EchoFirstLinkCheck = false; // answers the first link-check byte instead of staying silent
    TBlockFault Fault = TBlockFault::None;
    int FaultBlock = 0;          // block index 0..127 that the fault hits
    bool RefuseShutdown = false; // acknowledges the shutdown frame's checksum with 0x15
    bool StrayBytes = false;     // two stray bytes (0xFE, 0xFF) ahead of the first probe answer
    std::size_t HangUpAfter = 0; // hang up once this many bytes were received (0: never)
    // Once this many received bytes are answered, take no more bytes, as a server whose input is
    // full (a hung firmware, a stalled endpoint). 0 stalls before the first byte.
    std::optional<std::size_t> StallAfter = std::nullopt;
    std::uint32_t Baud = 0; // pace answers as a line of this rate, 11 bits a byte; 0: unpaced
    std::string Memory = PatternImage(); // SimMemorySize bytes
};

// The server as a state machine: bytes in, answer bytes out, each at the instant the line
// delivers it. No I/O, no threads, no clock of its own: the caller says when each byte arrived,
// on any time axis that starts at zero, and drives a descriptor (the simulator program) or a
// simulated serial line (the tests) with the answers.
class TServerModel
{
public:
    using TTime = std::chrono::nanoseconds;

    // One answer byte and the instant it is complete at the tool's end of the line.
    struct TAnswer
    {
        TTime At;
        std::uint8_t Byte;
        bool operator==(const TAnswer&) const = default;
    };

    // What the server does after a byte: go on, vanish (the byte was not taken), or take no
    // more bytes (the byte was taken and its answers stand).
    enum class TEffect : std::uint8_t { None, HangUp, Stall };

    explicit TServerModel(TSimOptions options);

    // True when the server takes no byte at all (StallAfter 0).
    bool StalledFromStart() const { return Options.StallAfter == 0u; }
    // One byte from the tool, sent at `sent`; its answers are appended to answers. After HangUp
    // or Stall the model takes nothing more.
    TEffect Receive(std::uint8_t byte, TTime sent, std::vector<TAnswer>& answers);
    TTime ByteTime() const { return ByteDuration; }

    // ---- What the server saw ------------------------------------------------------------------
    const std::vector<std::string>& Requests() const { return SeenRequests; } // header..checksum
    const std::vector<int>& BlocksServed() const { return SeenBlocks; } // good replies in full
    bool ShutdownSeen() const { return SeenShutdown; } // an acknowledged shutdown frame
    bool HungUp() const { return SeenHangUp; }
    const std::string& ReceivedBytes() const { return Seen; } // every byte taken, in order

private:
    enum class TState : std::uint8_t {
        Wake,
        Probe,
        Ident2,
        Ident3,
        IdentChars,
        Link1,
        Link2,
        Header,
        Body,
        Check,
        Poll
    };

    void Dispatch(std::uint8_t byte);
    void HandleFrameByte(std::uint8_t byte);
    void Reset();
    void Answer(std::uint8_t byte);

    const TSimOptions Options;
    const TTime ByteDuration;

    TState State = TState::Wake;
    bool FirstProbe = true;
    std::size_t IdentIndex = 0;
    std::string Frame; // header, request bytes, checksum as received
    std::size_t RequestLength = 0;
    int ReplyCount = 0;
    int Block = -1;
    bool Muted = false;  // the current frame goes unanswered
    bool Faulty = false; // the current frame's reply is spoilt on purpose
    bool HangUpNow = false;
    bool Ended = false;    // hung up or stalled: nothing more is taken
    std::string ReplyData; // reply checksum then data bytes, clocked out by the poll bytes
    std::size_t PollIndex = 0;
    TTime InFree{0}, OutFree{0}; // when each direction of the modelled line is free
    std::vector<TAnswer>* Out = nullptr;

    std::vector<std::string> SeenRequests;
    std::vector<int> SeenBlocks;
    bool SeenShutdown = false;
    bool SeenHangUp = false;
    std::string Seen;
};
