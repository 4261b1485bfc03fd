#include "protocol/traceentry.h"

#include <charconv>

namespace {

std::string FrameEntry(char direction, const std::string& bytes)
{
    // Written in place, at most three digits and a space a byte: a frame entry is written for
    // every frame of a read-out.
    std::string entry(bytes.size() * 4 + 2, '\0');
    char* out = entry.data();
    *out++ = direction;
    for (char b : bytes) {
        out = std::to_chars(out, out + 3, static_cast<std::uint8_t>(b)).ptr;
        *out++ = ' ';
    }
    *out++ = TraceMark::End;
    entry.resize(static_cast<std::size_t>(out - entry.data()));
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
