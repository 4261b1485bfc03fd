#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The framed transaction: the tool writes a request frame (header, request bytes, checksum byte)
// and, when it wants data, poll bytes in the same write; the server acknowledges every frame
// byte and answers the first poll byte with the reply checksum and each further one with a data
// byte. A request holds 0 to 255 bytes, a reply 0 to 63 data bytes (replyCount).

namespace FrameByte {
inline constexpr std::uint8_t HeaderFlag = 64;      // added to the header on request
inline constexpr std::uint8_t AckHeader = 1;        // the header's acknowledgement
inline constexpr std::uint8_t AckHeaderAlone = 3;   // ... of a frame without request bytes
inline constexpr std::uint8_t AckRequest = 2;       // a request byte other than the last
inline constexpr std::uint8_t AckLastRequest = 3;   // the last request byte
inline constexpr std::uint8_t AckCommand = 7;       // the checksum byte when no data is wanted
inline constexpr std::uint8_t ReplyMarkerBase = 64; // plus replyCount: the checksum byte's ack
inline constexpr std::uint8_t FirstPoll = 0xC1;
inline constexpr std::uint8_t MostReplyCount = 63;
} // namespace FrameByte

// The header byte: the request length, plus 64 when headerFlag is set, modulo 256.
std::uint8_t FrameHeader(std::size_t requestLength, bool headerFlag);
// What acknowledges the checksum byte and leads a good reply: 7 for a command (replyCount 0),
// replyCount + 64 otherwise.
std::uint8_t ReplyMarker(std::uint8_t replyCount);

// Header, request bytes and frame checksum byte.
std::string RequestFrame(const std::string& request, bool headerFlag);
// The replyCount + 1 poll bytes 0xC1, 0xC2, ... (modulo 256); none for a command.
std::string PollBytes(std::uint8_t replyCount);
// The whole write of a transaction: the request frame followed by its poll bytes.
std::string FrameWrite(const std::string& request, bool headerFlag, std::uint8_t replyCount);

// The acknowledgements the frame must get, one per frame byte (requestLength + 2 bytes).
std::string ExpectedAcks(std::size_t requestLength, std::uint8_t replyCount);
// How many bytes answer the whole write: the acknowledgements, plus the reply checksum and the
// data bytes when data is wanted.
std::size_t AnswerLength(std::size_t requestLength, std::uint8_t replyCount);

// Checks the server's whole answer to a write: its length, every acknowledgement and, with data,
// the reply checksum. The reply on success: the single byte 7 for a command, else the marker
// replyCount + 64 followed by the data bytes. No value when anything differs.
std::optional<std::string> CheckedReply(const std::string& answer, std::size_t requestLength,
                                        std::uint8_t replyCount);

// The read-out's two requests.
std::string ShutdownRequest();      // the command byte 4, sent without the header flag
std::string ReadRequest(int block); // 0xFF, 0x80 + block; sent with the header flag
