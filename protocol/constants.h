#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

// The numbers of the server's byte protocol: the timing of link bring-up, the single bytes of
// the probe, the wake phase and the link check, and the read-out's requests. The identification
// rule is in protocol/identification.h, the frame layout in protocol/frame.h.

// The port's read timeout and the pauses of bring-up.
namespace LinkTiming {
inline constexpr std::chrono::milliseconds WakingReadTimeout{50};      // waking and identifying
inline constexpr std::chrono::milliseconds IdentifiedReadTimeout{350}; // once identified
inline constexpr std::chrono::milliseconds PauseAfterOpen{200};
inline constexpr std::chrono::milliseconds PauseAfterLineChange{100};
} // namespace LinkTiming

// The single bytes sent before the framed protocol starts, and the answers they want.
namespace LinkByte {
inline constexpr std::uint8_t Probe = 0x00;             // the first byte of an attempt
inline constexpr std::uint8_t ProbeAnswer = 0x55;       // "identifying": the probe continues
inline constexpr std::uint8_t ProbeContinuation = 0x55; // sent while the server identifies
inline constexpr int MostProbeContinuations = 17;
inline constexpr std::uint8_t Wake = 0x00;
inline constexpr std::uint8_t WakeAnswer = 0x00; // ends the wake phase
// The wake counter starts here and drops by one before each exchange: at most 65 exchanges.
inline constexpr int WakeCounterStart = 66;
// Below this counter a missing answer ends the wake phase: three missing answers are tolerated.
inline constexpr int WakeToleranceBound = 63;
inline constexpr std::uint8_t LinkCheck = 0x00; // sent twice: ignored first, echoed second
} // namespace LinkByte

// The memory read-out: its size, its blocks and the two requests.
namespace ReadOut {
inline constexpr std::size_t MemorySize = 1536;
inline constexpr std::size_t BlockSize = 12; // data bytes in a block's reply
inline constexpr int BlockCount = 128;
inline constexpr std::uint8_t ShutdownCommand = 0x04;      // the one request byte of the shutdown
inline constexpr std::uint8_t ReadRequestLead = 0xFF;      // a read request: this, then the block
inline constexpr std::uint8_t ReadRequestBlockBase = 0x80; // ... as this plus its index
} // namespace ReadOut
