#include "protocol/frame.h"

#include "protocol/checksum.h"
#include "protocol/constants.h"

std::uint8_t FrameHeader(std::size_t requestLength, bool headerFlag)
{
    return static_cast<std::uint8_t>(requestLength + (headerFlag ? FrameByte::HeaderFlag : 0));
}

std::uint8_t ReplyMarker(std::uint8_t replyCount)
{
    return replyCount == 0 ? FrameByte::AckCommand
                           : static_cast<std::uint8_t>(replyCount + FrameByte::ReplyMarkerBase);
}

std::string RequestFrame(const std::string& request, bool headerFlag)
{
    const std::uint8_t header = FrameHeader(request.size(), headerFlag);
    std::string frame(1, static_cast<char>(header));
    frame += request;
    frame += static_cast<char>(FrameChecksum(header, request));
    return frame;
}

std::string PollBytes(std::uint8_t replyCount)
{
    std::string polls;
    if (replyCount == 0)
        return polls;
    for (int i = 0; i <= replyCount; ++i)
        polls += static_cast<char>((FrameByte::FirstPoll + i) & 0xFF);
    return polls;
}

std::string FrameWrite(const std::string& request, bool headerFlag, std::uint8_t replyCount)
{
    return RequestFrame(request, headerFlag) + PollBytes(replyCount);
}

std::string ExpectedAcks(std::size_t requestLength, std::uint8_t replyCount)
{
    std::string acks(1, static_cast<char>(requestLength == 0 ? FrameByte::AckHeaderAlone
                                                             : FrameByte::AckHeader));
    for (std::size_t i = 1; i <= requestLength; ++i)
        acks += static_cast<char>(i < requestLength ? FrameByte::AckRequest
                                                    : FrameByte::AckLastRequest);
    acks += static_cast<char>(ReplyMarker(replyCount));
    return acks;
}

std::size_t AnswerLength(std::size_t requestLength, std::uint8_t replyCount)
{
    const std::size_t acks = requestLength + 2;
    return replyCount == 0 ? acks : acks + replyCount + 1u;
}

std::optional<std::string> CheckedReply(const std::string& answer, std::size_t requestLength,
                                        std::uint8_t replyCount)
{
    const std::string acks = ExpectedAcks(requestLength, replyCount);
    if (answer.size() != AnswerLength(requestLength, replyCount) ||
        answer.compare(0, acks.size(), acks) != 0)
        return std::nullopt;
    const std::string marker(1, static_cast<char>(ReplyMarker(replyCount)));
    if (replyCount == 0)
        return marker;
    // The reply checksum is compared whole, without the frame checksum's folding.
    const std::string data = answer.substr(acks.size() + 1);
    if (ReplyChecksum(replyCount, data) != static_cast<std::uint8_t>(answer[acks.size()]))
        return std::nullopt;
    return marker + data;
}

std::string ShutdownRequest()
{
    return {static_cast<char>(ReadOut::ShutdownCommand)}; // one byte
}

std::string ReadRequest(int block)
{
    return std::string{static_cast<char>(ReadOut::ReadRequestLead),
                       static_cast<char>(ReadOut::ReadRequestBlockBase + block)};
}
