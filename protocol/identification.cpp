#include "protocol/identification.h"

namespace {

constexpr std::uint8_t StepOneByte = 0x80;
constexpr std::uint8_t StepTwoByte = 0x00;
constexpr std::uint8_t StepTwoAnswer = 0x55;
constexpr std::uint8_t StepThreeByte = 0xA5;
constexpr std::uint8_t StepThreeAnswer = 0xF0;
constexpr std::uint8_t CharacterStepByte = 0x55;

} // namespace

bool IsIdentificationChar(int value)
{
    return (value >= '0' && value <= '9') || (value >= 'A' && value <= '[');
}

std::uint8_t IdentificationByte(int step)
{
    switch (step) {
    case 1:
        return StepOneByte;
    case 2:
        return StepTwoByte;
    case 3:
        return StepThreeByte;
    default:
        return CharacterStepByte;
    }
}

int IdentificationRequiredAnswer(int step)
{
    if (step == 2)
        return StepTwoAnswer;
    if (step == 3)
        return StepThreeAnswer;
    return -1;
}

bool IdentificationAnswerOk(int step, int answer)
{
    if (step == 1)
        return answer >= 1 && answer <= 255;
    if (step == 2 || step == 3)
        return answer == IdentificationRequiredAnswer(step);
    return IsIdentificationChar(answer);
}

bool IdentificationAnswerKept(int step)
{
    return step == 1 || step >= 4;
}

bool IdentificationAccepted(const std::string& text)
{
    return text.compare(0, IdentificationPrefix.size(), IdentificationPrefix) == 0;
}
