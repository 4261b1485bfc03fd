#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// How the server simulator answers the first probe byte of a connect attempt.
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
inline constexpr std::size_t SimMemorySize = 1536;
std::string DefaultIdentification(); // "\x11VADOZIROZA" followed by six identification characters
std::string PatternImage();          // the built-in 1536-byte memory image; no two blocks alike

// Everything the simulator can be told: misbehaviours, pacing and the memory image.
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
    // full (a hung firmware, a stalled endpoint): on a pseudo-terminal the tool's side stops
    // sending, so its writes no longer complete. 0 stalls before the first byte.
    std::optional<std::size_t> StallAfter = std::nullopt;
    std::uint32_t Baud = 0; // pace answers as a line of this rate, 11 bits a byte; 0: unpaced
    std::string Memory = PatternImage(); // SimMemorySize bytes
};
