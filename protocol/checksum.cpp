#include "protocol/checksum.h"

#include "protocol/frame.h"

std::uint8_t ChecksumStep(std::uint8_t sum, std::uint8_t byte)
{
    const auto rotated = static_cast<std::uint8_t>((sum << 1) | (sum >> 7));
    return static_cast<std::uint8_t>(rotated + byte);
}

std::uint8_t RunningChecksum(std::uint8_t start, const std::string& bytes)
{
    std::uint8_t sum = start;
    for (char b : bytes)
        sum = ChecksumStep(sum, static_cast<std::uint8_t>(b));
    return sum;
}

std::uint8_t FoldedChecksum(std::uint8_t c)
{
    return static_cast<std::uint8_t>(0x80 | ((c + (c >> 6)) & 0x3F));
}

std::uint8_t FrameChecksum(std::uint8_t header, const std::string& request)
{
    return FoldedChecksum(RunningChecksum(header, request));
}

std::uint8_t ReplyChecksum(std::uint8_t replyCount, const std::string& data)
{
    return RunningChecksum(ReplyMarker(replyCount), data);
}
