#include "fuzz/fuzzserver.h"

#include "protocol/checksum.h"
#include "protocol/constants.h"
#include "protocol/frame.h"
#include "protocol/identification.h"

namespace {

const std::string Identification = std::string(IdentificationPrefix) + "K7Q2[9";
constexpr std::uint8_t Nak = 0x15;

std::string Byte(std::uint8_t value)
{
    return std::string(1, static_cast<char>(value));
}

} // namespace

TFuzzServer::TFuzzServer(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}

std::string TFuzzServer::Image()
{
    static const std::string image = [] {
        std::string bytes(ReadOut::MemorySize, '\0');
        for (std::size_t k = 0; k < bytes.size(); ++k)
            bytes[k] = static_cast<char>((k * 37 + k / 256 + 11) & 0xFF);
        return bytes;
    }();
    return image;
}

std::uint8_t TFuzzServer::Next(std::uint8_t otherwise)
{
    return Pos < Size ? Data[Pos++] : otherwise;
}

std::string TFuzzServer::Take(const std::string& bytes)
{
    WriteFails = false;
    if (bytes.size() > 1)
        ToolWroteFrame = true;
    std::string answers;
    for (char b : bytes)
        answers += Answer(static_cast<std::uint8_t>(b));

    const std::uint8_t control = Next(0);
    if (control < 0xC0)
        return answers;
    if (control < 0xD0)
        return {};
    if (control < 0xE0) {
        const std::uint8_t where = Next(0);
        const std::uint8_t value = Next(0);
        if (!answers.empty())
            answers[where % answers.size()] = static_cast<char>(value);
        return answers;
    }
    if (control < 0xE8) {
        if (!answers.empty())
            answers.pop_back();
        return answers;
    }
    if (control < 0xF0)
        return answers + static_cast<char>(Next(0));
    if (control < 0xF4) {
        Unplugged = true;
        return {};
    }
    if (control < 0xF8) {
        BackPressed = true;
        if (OnBack)
            OnBack();
        return answers;
    }
    if (control < 0xFC) {
        ClosePressed = true;
        if (OnClose)
            OnClose();
        return answers;
    }
    WriteFails = true;
    return {};
}

std::string TFuzzServer::Answer(std::uint8_t byte)
{
    const auto restart = [&] {
        State = TState::Wake;
        return Answer(byte);
    };
    switch (State) {
    case TState::Start:
    case TState::Wake:
        if (byte == LinkByte::Wake) {
            State = TState::Wake;
            return Byte(LinkByte::WakeAnswer);
        }
        if (byte == IdentificationByte(1)) {
            State = TState::Ident2;
            return Identification.substr(0, 1);
        }
        return {};
    case TState::Ident2:
        if (byte != IdentificationByte(2))
            return restart();
        State = TState::Ident3;
        return Byte(static_cast<std::uint8_t>(IdentificationRequiredAnswer(2)));
    case TState::Ident3:
        if (byte != IdentificationByte(3))
            return restart();
        State = TState::IdentChars;
        IdentIndex = 1;
        return Byte(static_cast<std::uint8_t>(IdentificationRequiredAnswer(3)));
    case TState::IdentChars:
        if (byte != IdentificationByte(4))
            return restart();
        if (IdentIndex + 1 == Identification.size())
            State = TState::Link1;
        return Identification.substr(IdentIndex++, 1);
    case TState::Link1:
        if (byte != LinkByte::LinkCheck)
            return restart();
        State = TState::Link2;
        return {}; // silent on the first link-check byte
    case TState::Link2:
        if (byte != LinkByte::LinkCheck)
            return restart();
        State = TState::Header;
        return Byte(LinkByte::LinkCheck);
    case TState::Header:
        if (byte == 0x00)
            return restart();
        Frame.assign(1, static_cast<char>(byte));
        RequestLength = byte & 0x3F;
        State = RequestLength == 0 ? TState::Check : TState::Body;
        return Byte(RequestLength == 0 ? FrameByte::AckHeaderAlone : FrameByte::AckHeader);
    case TState::Body:
        Frame.push_back(static_cast<char>(byte));
        if (Frame.size() - 1 == RequestLength) {
            State = TState::Check;
            return Byte(FrameByte::AckLastRequest);
        }
        return Byte(FrameByte::AckRequest);
    case TState::Check: {
        const auto header = static_cast<std::uint8_t>(Frame[0]);
        const std::string request = Frame.substr(1);
        State = TState::Header;
        const bool read = header == FrameHeader(2, true) &&
                          static_cast<std::uint8_t>(request[0]) == ReadOut::ReadRequestLead &&
                          static_cast<std::uint8_t>(request[1]) >= ReadOut::ReadRequestBlockBase;
        const bool shutdown = header == FrameHeader(1, false) && request == ShutdownRequest();
        if (byte != FrameChecksum(header, request) || (!read && !shutdown))
            return Byte(Nak);
        if (shutdown)
            return Byte(ReplyMarker(0));
        const std::size_t block =
            static_cast<std::uint8_t>(request[1]) - std::size_t{ReadOut::ReadRequestBlockBase};
        const std::string data = Image().substr(block * ReadOut::BlockSize, ReadOut::BlockSize);
        ReplyData = Byte(ReplyChecksum(ReadOut::BlockSize, data)) + data;
        PollIndex = 0;
        State = TState::Poll;
        return Byte(ReplyMarker(ReadOut::BlockSize));
    }
    case TState::Poll:
        if (byte != static_cast<std::uint8_t>(FrameByte::FirstPoll + PollIndex))
            return restart();
        if (++PollIndex == ReplyData.size())
            State = TState::Header;
        return ReplyData.substr(PollIndex - 1, 1);
    }
    return {};
}
