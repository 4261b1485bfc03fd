#include "protocol/traceentry.h"

namespace {

std::string FrameEntry(char direction, const std::string& bytes)
{
    std::string entry(1, direction);
    for (char b : bytes)
        entry += std::to_string(static_cast<std::uint8_t>(b)) + ' ';
    return entry + TraceMark::End;
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
