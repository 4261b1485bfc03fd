#pragma once

#include <cstdint>
#include <string>

// The rotate-and-add checksum of the framed protocol: a running 8-bit value that, for each
// byte, is rotated left by one bit within 8 bits and then has the byte added, modulo 256.

// One step: sum rotated left by one bit, plus byte.
std::uint8_t ChecksumStep(std::uint8_t sum, std::uint8_t byte);
// The running checksum from start over every byte of bytes.
std::uint8_t RunningChecksum(std::uint8_t start, const std::string& bytes);
// The frame checksum byte: the running checksum folded into 0x80..0xBF,
// 0x80 OR ((c + (c >> 6)) AND 0x3F).
std::uint8_t FoldedChecksum(std::uint8_t c);
// The checksum byte that ends a request frame: the running checksum from the header over the
// request bytes, folded.
std::uint8_t FrameChecksum(std::uint8_t header, const std::string& request);
// The reply checksum the server sends before replyCount data bytes: the running checksum from
// replyCount + 64 over the data, not folded.
std::uint8_t ReplyChecksum(std::uint8_t replyCount, const std::string& data);
