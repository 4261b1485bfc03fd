// The identification rule: which bytes are identification characters, what each of the 19 steps
// sends and requires, and which texts are accepted.

#include "protocol/identification.h"

#include <gtest/gtest.h>

TEST(Identification, CharactersAreTheDigitsAndTheCapitalsUpToTheOpeningBracket)
{
    for (int b : std::initializer_list<int>{'0', '9', 'A', 'Z', '['})
        EXPECT_TRUE(IsIdentificationChar(b)) << b;
    for (int b : std::initializer_list<int>{-1, 0, '/', ':', '@', '\\', ']', 'a', 'z', 0x80, 0xFF})
        EXPECT_FALSE(IsIdentificationChar(b)) << b;
}

TEST(Identification, EachStepSendsItsByteAndRequiresItsAnswer)
{
    EXPECT_EQ(IdentificationByte(1), 0x80);
    EXPECT_EQ(IdentificationByte(2), 0x00);
    EXPECT_EQ(IdentificationByte(3), 0xA5);
    for (int step = 4; step <= IdentificationSteps; ++step)
        EXPECT_EQ(IdentificationByte(step), 0x55) << step;

    // Step 1: any byte but 0x00, and an answer must come.
    EXPECT_FALSE(IdentificationAnswerOk(1, 0x00));
    EXPECT_FALSE(IdentificationAnswerOk(1, -1));
    EXPECT_TRUE(IdentificationAnswerOk(1, 0x01));
    EXPECT_TRUE(IdentificationAnswerOk(1, 0xFF));
    EXPECT_TRUE(IdentificationAnswerOk(2, 0x55));
    EXPECT_FALSE(IdentificationAnswerOk(2, 0x54));
    EXPECT_TRUE(IdentificationAnswerOk(3, 0xF0));
    EXPECT_FALSE(IdentificationAnswerOk(3, -1));
    EXPECT_TRUE(IdentificationAnswerOk(19, '['));
    EXPECT_FALSE(IdentificationAnswerOk(4, '\\'));
    EXPECT_FALSE(IdentificationAnswerOk(4, 'v'));

    int kept = 0;
    for (int step = 1; step <= IdentificationSteps; ++step)
        kept += IdentificationAnswerKept(step) ? 1 : 0;
    EXPECT_EQ(kept, static_cast<int>(IdentificationTextLength));
    EXPECT_FALSE(IdentificationAnswerKept(2));
    EXPECT_FALSE(IdentificationAnswerKept(3));
}

TEST(Identification, OnlyTheFirstElevenBytesDecide)
{
    const std::string prefix = std::string("\x11") + "VADOZIROZA";
    EXPECT_TRUE(IdentificationAccepted(prefix + "4711[Z"));
    EXPECT_TRUE(IdentificationAccepted(prefix + "000000"));
    std::string eleventh = prefix + "4711[Z";
    eleventh[10] = 'B';
    EXPECT_FALSE(IdentificationAccepted(eleventh));
    EXPECT_FALSE(IdentificationAccepted(std::string("\x12") + "VADOZIROZA4711[Z"));
    EXPECT_FALSE(IdentificationAccepted(prefix.substr(0, 10)));
    EXPECT_FALSE(IdentificationAccepted(""));
}
