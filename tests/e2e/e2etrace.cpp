#include "tests/e2e/e2etrace.h"

#include "protocol/servermodel.h"

#include <cstdint>
#include <vector>

namespace {

// The checksum, the frame layout and the entry format are written out here on purpose rather
// than taken from protocol/: these traces are the tests' own reading of the protocol, so that a
// fault in the product's protocol library shows as a difference instead of being copied into
// what the tests expect.
std::uint8_t Step(std::uint8_t c, std::uint8_t byte)
{
    return static_cast<std::uint8_t>(((c << 1) | (c >> 7)) + byte);
}

std::string Byte(char direction, int value)
{
    return std::string(1, direction) + std::to_string(value) + "\r";
}

std::string Frame(char direction, const std::vector<std::uint8_t>& bytes)
{
    std::string entry(1, direction);
    for (std::uint8_t b : bytes)
        entry += std::to_string(b) + " ";
    return entry + "\r";
}

std::vector<std::uint8_t> BlockRequest(int block)
{
    const std::uint8_t header = 2 + 64;
    const auto index = static_cast<std::uint8_t>(0x80 + block);
    const std::uint8_t c = Step(Step(header, 0xFF), index);
    const auto check = static_cast<std::uint8_t>(0x80 | ((c + (c >> 6)) & 0x3F));
    std::vector<std::uint8_t> frame{header, 0xFF, index, check};
    for (int poll = 0xC1; poll <= 0xCD; ++poll)
        frame.push_back(static_cast<std::uint8_t>(poll));
    return frame;
}

} // namespace

std::string ConnectTrace(const std::string& identification)
{
    std::string trace = "USB/dev/ttyACM0\r";
    trace += Byte('<', 0) + Byte('>', 0); // probe: answered like a wake byte
    trace += Byte('<', 0) + Byte('>', 0); // wake: the first 0x00 answer ends it
    trace += Byte('<', 128) + Byte('>', static_cast<std::uint8_t>(identification[0]));
    trace += Byte('<', 0) + Byte('>', 85);
    trace += Byte('<', 165) + Byte('>', 240);
    for (std::size_t i = 1; i < identification.size(); ++i)
        trace += Byte('<', 85) + Byte('>', static_cast<std::uint8_t>(identification[i]));
    return trace;
}

std::string LinkCheckTrace(bool echoFirst)
{
    if (echoFirst)
        return Byte('<', 0) + Byte('>', 0);
    return Byte('<', 0) + Byte('>', -1) + Byte('<', 0) + Byte('>', 0);
}

std::string ShutdownTrace()
{
    return Frame('<', {1, 4, 134}) + Frame('>', {1, 3, 7});
}

std::string BlockRequestEntry(int block)
{
    return Frame('<', BlockRequest(block));
}

std::string BlockTrace(int block, const std::string& memory)
{
    std::vector<std::uint8_t> answer{1, 2, 3, 76, 0};
    std::uint8_t check = 76;
    for (int i = 0; i < 12; ++i) {
        const auto data =
            static_cast<std::uint8_t>(memory[static_cast<std::size_t>(block * 12 + i)]);
        check = Step(check, data);
        answer.push_back(data);
    }
    answer[4] = check;
    return BlockRequestEntry(block) + Frame('>', answer);
}

std::string ReadOutTrace(int blocks)
{
    const std::string memory = PatternImage();
    std::string trace = ConnectTrace(DefaultIdentification()) + LinkCheckTrace(false);
    for (int block = 0; block < blocks; ++block)
        trace += BlockTrace(block, memory);
    return trace;
}
