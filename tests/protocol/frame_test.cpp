// Frames and their checksums: the read-out's two requests byte for byte, the acknowledgements and
// poll bytes of every reply length, and the checks an answer must pass.

#include "protocol/checksum.h"
#include "protocol/constants.h"
#include "protocol/frame.h"

#include <gtest/gtest.h>

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int v : values)
        bytes += static_cast<char>(v);
    return bytes;
}

// A block's whole answer: acknowledgements, the reply checksum, the data.
std::string BlockAnswer(std::uint8_t checksum, const std::string& data)
{
    return Bytes({1, 2, 3, 76, checksum}) + data;
}

std::string Counting()
{
    std::string data;
    for (int i = 0; i < 12; ++i)
        data += static_cast<char>(i);
    return data;
}

} // namespace

TEST(Frame, TheReadOutsRequestsGoOutAsTheServerExpectsThem)
{
    EXPECT_EQ(FrameWrite(ShutdownRequest(), false, 0), Bytes({1, 4, 134}));
    EXPECT_EQ(ExpectedAcks(1, 0), Bytes({1, 3, 7}));
    EXPECT_EQ(AnswerLength(1, 0), 3u);

    EXPECT_EQ(FrameWrite(ReadRequest(0), true, ReadOut::BlockSize),
              Bytes({66, 255, 128, 137, 193, 194, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204,
                     205}));
    // The folded frame checksum byte of a few blocks, the last one wrapping around.
    const std::pair<int, int> checksums[] = {{0, 137}, {1, 138}, {2, 139}, {127, 134}};
    for (const auto& [block, checksum] : checksums)
        EXPECT_EQ(static_cast<std::uint8_t>(RequestFrame(ReadRequest(block), true)[3]), checksum)
            << "block " << block;
    EXPECT_EQ(ExpectedAcks(2, 12), Bytes({1, 2, 3, 76}));
    EXPECT_EQ(AnswerLength(2, 12), 17u);
}

TEST(Frame, AcknowledgementsAndPollBytesFollowTheRequestAndReplyLengths)
{
    // No request bytes: the header alone is acknowledged with 3.
    EXPECT_EQ(RequestFrame("", false), Bytes({0, 0x80}));
    EXPECT_EQ(ExpectedAcks(0, 0), Bytes({3, 7}));
    EXPECT_EQ(ExpectedAcks(4, 1), Bytes({1, 2, 2, 2, 3, 65}));
    EXPECT_EQ(PollBytes(0), "");
    EXPECT_EQ(PollBytes(1), Bytes({0xC1, 0xC2}));
    // The longest reply: 64 poll bytes, the last wrapping to 0x00.
    const std::string polls = PollBytes(FrameByte::MostReplyCount);
    ASSERT_EQ(polls.size(), 64u);
    EXPECT_EQ(polls.back(), '\0');
    // The header flag adds 64, modulo 256.
    EXPECT_EQ(FrameHeader(255, true), 63);
    // Every frame checksum byte lies in 0x80..0xBF.
    for (int c = 0; c < 256; ++c) {
        const std::uint8_t folded = FoldedChecksum(static_cast<std::uint8_t>(c));
        EXPECT_EQ(folded & 0xC0, 0x80) << c;
    }
    EXPECT_EQ(ChecksumStep(0x80, 0), 0x01); // bit 7 rotates into bit 0
    EXPECT_EQ(ChecksumStep(0xFF, 2), 0x01); // the addition wraps
}

TEST(Frame, ABlockReplyIsAcceptedOnlyWithItsAcknowledgementsLengthAndUnfoldedChecksum)
{
    const std::string zeros(12, '\0');
    // 196 lies outside 0x80..0xBF: the reply checksum is compared whole.
    EXPECT_EQ(ReplyChecksum(12, zeros), 196);
    EXPECT_EQ(ReplyChecksum(12, Counting()), 199);
    EXPECT_EQ(CheckedReply(BlockAnswer(196, zeros), 2, 12), Bytes({76}) + zeros);
    EXPECT_EQ(CheckedReply(BlockAnswer(199, Counting()), 2, 12), Bytes({76}) + Counting());

    EXPECT_FALSE(CheckedReply(BlockAnswer(197, zeros), 2, 12)) << "wrong checksum";
    std::string wrongMarker = BlockAnswer(196, zeros);
    wrongMarker[3] = 7;
    EXPECT_FALSE(CheckedReply(wrongMarker, 2, 12)) << "fourth byte 7 instead of 76";
    EXPECT_FALSE(CheckedReply(BlockAnswer(196, zeros).substr(0, 16), 2, 12)) << "16 bytes";
    EXPECT_FALSE(CheckedReply(BlockAnswer(196, zeros) + '\0', 2, 12)) << "18 bytes";
    EXPECT_FALSE(CheckedReply("", 2, 12));
}

TEST(Frame, ACommandsReplyIsTheByte7WhateverTheRequest)
{
    EXPECT_EQ(CheckedReply(Bytes({1, 3, 7}), 1, 0), Bytes({7}));
    EXPECT_EQ(CheckedReply(Bytes({1, 2, 2, 3, 7}), 3, 0), Bytes({7}));
    EXPECT_FALSE(CheckedReply(Bytes({1, 3, 21}), 1, 0));
    EXPECT_FALSE(CheckedReply(Bytes({3, 3, 7}), 1, 0));
}
