// The server model on its own: the answers of the worked examples, byte for byte and at the
// instants a 9600-baud line gives them, and the ends a misbehaviour puts to the exchange.

#include "protocol/checksum.h"
#include "protocol/frame.h"
#include "protocol/servermodel.h"

#include <gtest/gtest.h>

namespace {

using TTime = TServerModel::TTime;

// Feeds bytes, all sent at instant `sent`; gives the answers' bytes.
std::string Feed(TServerModel& model, const std::string& bytes, TTime sent,
                 std::vector<TServerModel::TAnswer>* timed = nullptr)
{
    std::vector<TServerModel::TAnswer> answers;
    for (char b : bytes)
        model.Receive(static_cast<std::uint8_t>(b), sent, answers);
    std::string out;
    for (const auto& a : answers)
        out.push_back(static_cast<char>(a.Byte));
    if (timed)
        *timed = answers;
    return out;
}

// Wake, identification and link check as the tool sends them, up to the framed protocol.
void BringUp(TServerModel& model)
{
    const std::string wake("\x00\x00", 2);
    const std::string ident = std::string("\x80\x00\xA5", 3) + std::string(16, '\x55');
    const std::string link("\x00\x00", 2);
    EXPECT_EQ(Feed(model, wake, TTime(0)), std::string("\x00\x00", 2));
    EXPECT_EQ(Feed(model, ident, TTime(0)),
              std::string("\x11", 1) + "\x55\xF0" + DefaultIdentification().substr(1));
    EXPECT_EQ(Feed(model, link, TTime(0)), std::string("\x00", 1)); // the first is not answered
}

TEST(ServerModel, AnswersTheShutdownAndABlockReadAsTheWorkedExamplesSay)
{
    TServerModel model({});
    BringUp(model);
    EXPECT_EQ(Feed(model, FrameWrite(ShutdownRequest(), false, 0), TTime(0)), "\x01\x03\x07");
    EXPECT_TRUE(model.ShutdownSeen());

    const std::string data = PatternImage().substr(12, 12);
    EXPECT_EQ(Feed(model, FrameWrite(ReadRequest(1), true, 12), TTime(0)),
              std::string("\x01\x02\x03\x4C", 4) + static_cast<char>(ReplyChecksum(12, data)) +
                  data);
    EXPECT_EQ(model.BlocksServed(), std::vector<int>{1});
    ASSERT_EQ(model.Requests().size(), 2u);
}

TEST(ServerModel, PacedAnswersFollowTheirBytesOneByteTimeApart)
{
    TSimOptions options;
    options.Baud = 9600;
    TServerModel model(options);
    std::vector<TServerModel::TAnswer> answers;
    Feed(model, std::string("\x00\x00\x00", 3), TTime(0), &answers);
    ASSERT_EQ(answers.size(), 3u);
    const TTime byte = model.ByteTime(); // 11 bits at 9600 baud
    EXPECT_EQ(byte, TTime(11'000'000'000LL / 9600));
    // The first answer starts once its byte is in: two byte times; then one more each.
    EXPECT_EQ(answers[0].At, 2 * byte);
    EXPECT_EQ(answers[1].At, 3 * byte);
    EXPECT_EQ(answers[2].At, 4 * byte);
}

TEST(ServerModel, MisbehavioursEndTheExchangeWhereTheyAreSet)
{
    TSimOptions hangUp;
    hangUp.HangUpAfter = 2;
    TServerModel gone(hangUp);
    std::vector<TServerModel::TAnswer> answers;
    EXPECT_EQ(gone.Receive(0x00, TTime(0), answers), TServerModel::TEffect::None);
    EXPECT_EQ(gone.Receive(0x00, TTime(0), answers), TServerModel::TEffect::HangUp);
    EXPECT_EQ(answers.size(), 1u); // the byte it hung up on goes unanswered
    EXPECT_TRUE(gone.HungUp());
    EXPECT_EQ(gone.Receive(0x00, TTime(0), answers), TServerModel::TEffect::HangUp);
    EXPECT_EQ(gone.ReceivedBytes().size(), 2u);

    TSimOptions stall;
    stall.StallAfter = 1;
    TServerModel full(stall);
    answers.clear();
    EXPECT_EQ(full.Receive(0x00, TTime(0), answers), TServerModel::TEffect::Stall);
    EXPECT_EQ(answers.size(), 1u); // answered, then nothing more is taken
    EXPECT_FALSE(TServerModel(stall).StalledFromStart());
    stall.StallAfter = 0;
    EXPECT_TRUE(TServerModel(stall).StalledFromStart());

    TSimOptions refuse;
    refuse.RefuseShutdown = true;
    TServerModel refusing(refuse);
    BringUp(refusing);
    EXPECT_EQ(Feed(refusing, FrameWrite(ShutdownRequest(), false, 0), TTime(0)), "\x01\x03\x15");
    EXPECT_FALSE(refusing.ShutdownSeen());
}

} // namespace
