#include "fuzz/fuzzserver.h"

#include "protocol/constants.h"
#include "protocol/identification.h"

#include <vector>

namespace {

// An unpaced server with its own identification and the fuzz target's memory image.
TSimOptions HealthyServer()
{
    TSimOptions options;
    options.Identification = std::string(IdentificationPrefix) + "K7Q2[9";
    options.Memory = TFuzzServer::Image();
    return options;
}

} // namespace

TFuzzServer::TFuzzServer(const std::uint8_t* data, std::size_t size)
    : Data(data), Size(size), Model(HealthyServer())
{
}

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
    std::vector<TServerModel::TAnswer> timed;
    for (char b : bytes)
        Model.Receive(static_cast<std::uint8_t>(b), TServerModel::TTime{0}, timed);
    std::string answers;
    for (const TServerModel::TAnswer& answer : timed)
        answers += static_cast<char>(answer.Byte);

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
