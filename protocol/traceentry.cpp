#include "protocol/traceentry.h"

#include <charconv>

namespace {

std::string FrameEntry(char direction, const std::string& bytes)
{
    // Built in place: a frame entry is written for every frame of a read-out.
    std::string entry;
    entry.reserve(bytes.size() * 4 + 2);
    entry += direction;
    for (char b : bytes) {
        char digits[3];
        const auto end =
            std::to_chars(digits, digits + sizeof digits, static_cast<std::uint8_t>(b)).ptr;
        entry.append(digits, end);
        entry += ' ';
    }
    entry += TraceMark::End;
    return entry;
}

} // namespace

std::string AttemptStartEntry(const std::string& device)
{
    return TraceMark::AttemptStart + device + TraceMark::End;
}

std::string ByteSentEntry(std::uint8_t value)
{
    return TraceMark::Sent + std::to_string(value) + TraceMark::End;
}

std::string ByteReceivedEntry(int value)
{
    return TraceMark::Received + std::to_string(value) + TraceMark::End;
}

std::string FrameSentEntry(const std::string& frame)
{
    return FrameEntry(TraceMark::Sent, frame);
}

std::string FrameReceivedEntry(const std::string& bytes)
{
    return FrameEntry(TraceMark::Received, bytes);
}

std::string FailureMark()
{
    return {TraceMark::Failed}; // one byte
}
