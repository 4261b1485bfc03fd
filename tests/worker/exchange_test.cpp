#include "tests/worker/simrig.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

// Opens the server's port the way bring-up leaves it, without the handshake.
void OpenPort(TStageRig& rig, std::int32_t timeoutMs)
{
    rig.Port().SetDeviceName(rig.Line.DeviceName());
    rig.Port().Timeouts().SetReadConstant(timeoutMs);
    rig.Port().Open();
    rig.Port().SetTag(1);
}

std::string Frame(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

std::string ReadTrace(const std::string& data)
{
    std::string trace = "<66 255 128 137 193 194 195 196 197 198 199 200 201 202 203 204 205 \r";
    trace += ">1 2 3 76 ";
    for (char b : data)
        trace += std::to_string(static_cast<unsigned char>(b)) + " ";
    return trace + "\r";
}

} // namespace

TEST(ByteExchange, SendOnClosedPortIsMarkedAndFails)
{
    TStageRig rig;
    EXPECT_FALSE(rig.Worker.SendByte(rig.Port(), 128));
    EXPECT_EQ(rig.Worker.Trace, "!<128\r");
}

TEST(ByteExchange, MissingAnswerGivesMinusOne)
{
    TStageRig rig(TSimOptions{.Silent = true});
    OpenPort(rig, 50);
    EXPECT_TRUE(rig.Worker.SendByte(rig.Port(), 0));
    EXPECT_EQ(rig.Worker.ReceiveByte(rig.Port()), -1);
    EXPECT_EQ(rig.Worker.Trace, "<0\r>-1\r");
}

TEST(ByteExchange, TwoQueuedBytesCountAsNoAnswerAndStayQueued)
{
    TStageRig rig(TSimOptions{.StrayBytes = true}); // answers the probe with 0xFE, 0xFF, 0x00
    OpenPort(rig, 50);
    EXPECT_TRUE(rig.Worker.SendByte(rig.Port(), 0));
    rig.Clock.AdvanceTo(rig.Clock.Now() + std::chrono::milliseconds(20)); // all three are there
    ASSERT_EQ(rig.Port().InputCount(), 3);
    EXPECT_EQ(rig.Worker.ReceiveByte(rig.Port()), -1);
    EXPECT_EQ(rig.Worker.Trace, "<0\r>-1\r");
    EXPECT_EQ(rig.Port().InputCount(), 3);
}

TEST(ByteExchange, ExchangeStopsAtTheFirstMissingAnswer)
{
    TStageRig rig;
    OpenPort(rig, 50);
    rig.Worker.LinkOk = true;
    // The server answers 0x00 (a wake byte) but not 0x01.
    rig.Worker.ExchangeBytes(rig.Port(), Frame({0, 1, 0}), "");
    EXPECT_EQ(rig.Worker.Trace, "<0\r>0\r<1\r>-1\r");
    EXPECT_TRUE(rig.Worker.Received.empty());
    EXPECT_TRUE(rig.Worker.LinkOk);

    rig.Worker.Trace.clear();
    rig.Worker.ExchangeBytes(rig.Port(), Frame({0}), Frame({0}));
    EXPECT_TRUE(rig.Worker.LinkOk);
    rig.Worker.ExchangeBytes(rig.Port(), Frame({0}), Frame({1}));
    EXPECT_FALSE(rig.Worker.LinkOk);

    // A set result code leaves everything alone; empty data with an expected answer fails.
    rig.Worker.LinkOk = true;
    rig.Worker.Received = "kept";
    rig.Worker.SetResultCode(srNotFound);
    rig.Worker.ExchangeBytes(rig.Port(), Frame({0}), "");
    EXPECT_EQ(rig.Worker.Received, "kept");
    rig.Worker.SetResultCode(srSuccess);
    rig.Worker.ExchangeBytes(rig.Port(), "", Frame({0}));
    EXPECT_TRUE(rig.Worker.Received.empty());
    EXPECT_FALSE(rig.Worker.LinkOk);
}

TEST(ByteExchange, BackStopsEveryOperationWithoutTouchingPortOrTrace)
{
    TStageRig rig;
    OpenPort(rig, 50);
    rig.Worker.LinkOk = true;
    rig.Worker.RequestBack();
    EXPECT_FALSE(rig.Worker.SendByte(rig.Port(), 0));
    EXPECT_EQ(rig.Worker.ReceiveByte(rig.Port()), -1);
    std::string reply = "x";
    rig.Worker.Transact(Frame({4}), false, 0, reply);
    EXPECT_TRUE(reply.empty());
    EXPECT_TRUE(rig.Worker.Trace.empty());
    EXPECT_TRUE(rig.Line.Offered().empty());
}

TEST(ByteExchange, VanishedDeviceIsALostLinkNotACrash)
{
    TStageRig rig;
    OpenPort(rig, 50);
    rig.Worker.LinkOk = true;
    rig.Line.Unplug();
    EXPECT_EQ(rig.Worker.ReceiveByte(rig.Port()), -1);
    rig.Worker.ExchangeBytes(rig.Port(), Frame({0}), Frame({0}));
    EXPECT_FALSE(rig.Worker.LinkOk);
    std::string reply;
    rig.Worker.LinkOk = true;
    rig.Worker.Transact(Frame({255, 128}), true, 12, reply);
    EXPECT_FALSE(rig.Worker.LinkOk);
    EXPECT_TRUE(reply.empty());
}

TEST(Transact, ShutdownAndBlockReadMatchTheWorkedExamples)
{
    TStageRig rig;
    rig.BringUp();
    rig.Worker.CheckLink(rig.Port());
    ASSERT_EQ(rig.Worker.ResultCode(), 0);
    ASSERT_TRUE(rig.Worker.LinkOk);

    rig.Worker.Trace.clear();
    std::string reply;
    rig.Worker.Transact(Frame({4}), false, 0, reply);
    EXPECT_TRUE(rig.Worker.LinkOk);
    EXPECT_EQ(reply, Frame({7}));
    EXPECT_EQ(rig.Worker.Trace, "<1 4 134 \r>1 3 7 \r");
    EXPECT_TRUE(rig.Line.ShutdownSeen());

    rig.Worker.Trace.clear();
    rig.Worker.Transact(Frame({255, 128}), true, 12, reply);
    const std::string data = PatternImage().substr(0, 12);
    EXPECT_EQ(reply, static_cast<char>(76) + data);
    const std::string checksum = rig.Worker.Received.substr(4, 1);
    std::string expected = ReadTrace(checksum + data);
    EXPECT_EQ(rig.Worker.Trace, expected);

    rig.Worker.Transact(Frame({255, 255}), true, 12, reply);
    EXPECT_EQ(reply, static_cast<char>(76) + PatternImage().substr(127 * 12, 12));
    EXPECT_EQ(rig.Line.Requests().back(), Frame({66, 255, 255, 134}));
}

TEST(Transact, UnfoldedReplyChecksumOfZeroDataIsAccepted)
{
    TStageRig rig(TSimOptions{.Memory = std::string(SimMemorySize, '\0')});
    rig.BringUp();
    rig.Worker.CheckLink(rig.Port());
    rig.Worker.Trace.clear();
    std::string reply;
    rig.Worker.Transact(Frame({255, 128}), true, 12, reply);
    EXPECT_TRUE(rig.Worker.LinkOk);
    EXPECT_EQ(reply, static_cast<char>(76) + std::string(12, '\0'));
    EXPECT_EQ(rig.Worker.Trace, ReadTrace(Frame({196}) + std::string(12, '\0')));
}

TEST(Transact, BadRepliesClearTheLinkAndLeaveTheReplyEmpty)
{
    struct TCase
    {
        TBlockFault Fault;
        bool ReadFails; // "!" instead of a frame-received entry
    };
    for (const TCase c :
         {TCase{TBlockFault::WrongAck, false}, TCase{TBlockFault::WrongChecksum, false},
          TCase{TBlockFault::ShortReply, true}, TCase{TBlockFault::Silence, true}}) {
        SCOPED_TRACE(static_cast<int>(c.Fault));
        TStageRig rig(TSimOptions{.Fault = c.Fault, .FaultBlock = 1});
        rig.BringUp();
        rig.Worker.CheckLink(rig.Port());
        std::string reply;
        rig.Worker.Transact(Frame({255, 128}), true, 12, reply);
        ASSERT_TRUE(rig.Worker.LinkOk);
        rig.Worker.Trace.clear();
        rig.Worker.Transact(Frame({255, 129}), true, 12, reply);
        EXPECT_FALSE(rig.Worker.LinkOk);
        EXPECT_TRUE(reply.empty());
        const std::string sent =
            "<66 255 129 138 193 194 195 196 197 198 199 200 201 202 203 204 205 \r";
        if (c.ReadFails)
            EXPECT_EQ(rig.Worker.Trace, sent + "!");
        else
            EXPECT_EQ(rig.Worker.Trace.rfind(sent + ">1 2 3 ", 0), 0u) << rig.Worker.Trace;

        // With the link lost, the next transaction sends nothing.
        const std::string before = rig.Line.Offered();
        rig.Worker.Transact(Frame({255, 130}), true, 12, reply);
        EXPECT_FALSE(rig.Worker.LinkOk);
        EXPECT_TRUE(reply.empty());
        EXPECT_EQ(rig.Line.Offered(), before);
    }
}
