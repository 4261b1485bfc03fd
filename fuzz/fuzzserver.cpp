#include "fuzz/fuzzserver.h"

namespace {

const std::string Identification = std::string("\x11") + "VADOZIROZA" + "K7Q2[9";
constexpr std::uint8_t Nak = 0x15;

std::uint8_t RotateAdd(std::uint8_t sum, std::uint8_t byte)
{
    return static_cast<std::uint8_t>(static_cast<std::uint8_t>((sum << 1) | (sum >> 7)) + byte);
}

} // namespace

TFuzzServer::TFuzzServer(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}

std::string TFuzzServer::Image()
{
    static const std::string image = [] {
        std::string bytes(1536, '\0');
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
        if (byte == 0x00) {
            State = TState::Wake;
            return std::string(1, '\0');
        }
        if (byte == 0x80) {
            State = TState::Ident2;
            return Identification.substr(0, 1);
        }
        return {};
    case TState::Ident2:
        if (byte != 0x00)
            return restart();
        State = TState::Ident3;
        return "\x55";
    case TState::Ident3:
        if (byte != 0xA5)
            return restart();
        State = TState::IdentChars;
        IdentIndex = 1;
        return "\xF0";
    case TState::IdentChars:
        if (byte != 0x55)
            return restart();
        if (IdentIndex + 1 == Identification.size())
            State = TState::Link1;
        return Identification.substr(IdentIndex++, 1);
    case TState::Link1:
        if (byte != 0x00)
            return restart();
        State = TState::Link2;
        return {}; // silent on the first link-check byte
    case TState::Link2:
        if (byte != 0x00)
            return restart();
        State = TState::Header;
        return std::string(1, '\0');
    case TState::Header:
        if (byte == 0x00)
            return restart();
        Frame.assign(1, static_cast<char>(byte));
        RequestLength = byte & 0x3F;
        State = RequestLength == 0 ? TState::Check : TState::Body;
        return std::string(1, static_cast<char>(RequestLength == 0 ? 3 : 1));
    case TState::Body:
        Frame.push_back(static_cast<char>(byte));
        if (Frame.size() - 1 == RequestLength) {
            State = TState::Check;
            return "\x03";
        }
        return "\x02";
    case TState::Check: {
        auto c = static_cast<std::uint8_t>(Frame[0]);
        for (std::size_t i = 1; i < Frame.size(); ++i)
            c = RotateAdd(c, static_cast<std::uint8_t>(Frame[i]));
        const auto expected = static_cast<std::uint8_t>(0x80 | ((c + (c >> 6)) & 0x3F));
        State = TState::Header;
        const auto header = static_cast<std::uint8_t>(Frame[0]);
        const bool read = header == 0x42 && static_cast<std::uint8_t>(Frame[1]) == 0xFF &&
                          static_cast<std::uint8_t>(Frame[2]) >= 0x80;
        const bool shutdown = header == 0x01 && static_cast<std::uint8_t>(Frame[1]) == 0x04;
        if (byte != expected || (!read && !shutdown))
            return std::string(1, static_cast<char>(Nak));
        if (shutdown)
            return "\x07";
        const std::size_t block = static_cast<std::uint8_t>(Frame[2]) - 0x80u;
        const std::string data = Image().substr(block * 12, 12);
        std::uint8_t sum = 76;
        for (char d : data)
            sum = RotateAdd(sum, static_cast<std::uint8_t>(d));
        ReplyData = static_cast<char>(sum) + data;
        PollIndex = 0;
        State = TState::Poll;
        return "\x4C";
    }
    case TState::Poll:
        if (byte != static_cast<std::uint8_t>(0xC1 + PollIndex))
            return restart();
        if (++PollIndex == ReplyData.size())
            State = TState::Header;
        return ReplyData.substr(PollIndex - 1, 1);
    }
    return {};
}
