#include "serial/comport.h"
#include "worker/serthread.h"

#include <string>

namespace {

std::uint8_t RotateAdd(std::uint8_t sum, std::uint8_t byte)
{
    const auto rotated = static_cast<std::uint8_t>((sum << 1) | (sum >> 7));
    return static_cast<std::uint8_t>(rotated + byte);
}

// "<" or ">", then every byte's value followed by a space, then a carriage return.
std::string FrameEntry(char direction, const std::string& bytes)
{
    std::string entry(1, direction);
    for (char b : bytes)
        entry += std::to_string(static_cast<std::uint8_t>(b)) + ' ';
    return entry + '\r';
}

} // namespace

void TSerThread::Transact(const std::string& request, bool headerFlag, std::uint8_t replyCount,
                          std::string& reply)
{
    reply.clear();
    if (ResultCode() != srSuccess || Terminated() || BackRequested())
        return;
    TComPort& port = SerIF();
    const std::size_t length = request.size();
    const int count = replyCount;

    const auto header = static_cast<std::uint8_t>(length + (headerFlag ? 64 : 0));
    Received.assign(1, static_cast<char>(header));
    Received += request;
    std::uint8_t c = header;
    for (char b : request)
        c = RotateAdd(c, static_cast<std::uint8_t>(b));
    Received += static_cast<char>(0x80 | ((c + (c >> 6)) & 0x3F));

    // The acknowledgement of each frame byte.
    std::string expected(1, static_cast<char>(length == 0 ? 3 : 1));
    for (std::size_t i = 1; i <= length; ++i)
        expected += static_cast<char>(i < length ? 2 : 3);
    expected += static_cast<char>(count == 0 ? 7 : count + 64);
    const std::size_t n = expected.size();
    std::size_t toRead = n;

    // The poll bytes go out in the same write, so the whole answer comes back in one read.
    if (count > 0) {
        for (int i = 0; i <= count; ++i)
            Received += static_cast<char>((0xC1 + i) & 0xFF);
        toRead += static_cast<std::size_t>(count) + 1;
    }

    const auto mayTalk = [&] {
        return ResultCode() == srSuccess && LinkOk && !Terminated() && !BackRequested();
    };
    if (mayTalk()) {
        AppendTrace(FrameEntry('<', Received));
        try {
            port.WriteString(Received);
        } catch (const std::exception& e) {
            NotePortFailure("write", e);
            AppendTrace("!");
            LinkOk = false;
        }
    }
    if (mayTalk()) {
        std::string answer(toRead, '\0');
        try {
            port.Read(answer.data(), static_cast<std::int32_t>(toRead), true);
            Received = answer;
            AppendTrace(FrameEntry('>', Received));
        } catch (const std::exception& e) {
            NotePortFailure("read", e);
            AppendTrace("!");
            LinkOk = false;
        }
    }

    if (Terminated() || BackRequested() || Received.compare(0, n, expected) != 0) {
        LinkOk = false;
        return;
    }
    std::string result;
    if (count == 0) {
        result.assign(1, static_cast<char>(7));
    } else {
        // The reply checksum is compared whole, without the frame checksum's folding.
        const std::string answers = Received.substr(n);
        std::uint8_t sum = static_cast<std::uint8_t>(count + 64);
        for (std::size_t i = 1; i < answers.size(); ++i)
            sum = RotateAdd(sum, static_cast<std::uint8_t>(answers[i]));
        if (answers.size() != static_cast<std::size_t>(count) + 1 ||
            sum != static_cast<std::uint8_t>(answers[0]))
            LinkOk = false;
        else
            result.assign(1, static_cast<char>(count + 64)).append(answers, 1);
    }
    if (LinkOk)
        reply = result;
}
