// The trace format: what the writer produces, that the parser reads every kind of entry back
// (whole or piece by piece), and that it refuses what the worker never writes. The fault matrix
// and the stage fuzz target rely on the parser to find malformed trace files.

#include "protocol/traceentry.h"
#include "protocol/traceparser.h"

#include <gtest/gtest.h>

namespace {

// Every kind of entry, as the worker writes them: a failed byte write, a missing answer, a
// frame answered, a frame whose answer did not come.
std::string EveryKind()
{
    return AttemptStartEntry("\\\\.\\COM4") + ByteSentEntry(0) + ByteReceivedEntry(-1) +
           FailureMark() + ByteSentEntry(128) + ByteSentEntry(0) + ByteReceivedEntry(85) +
           FrameSentEntry("\x01\x04\x86") + FrameReceivedEntry("\x01\x03\x07") +
           FrameSentEntry(std::string("\x42\xFF\x80\x89", 4)) + FailureMark();
}

} // namespace

TEST(TraceFormat, TheWriterSpellsEachEntryAsTheTraceFileHasIt)
{
    EXPECT_EQ(EveryKind(), "USB\\\\.\\COM4\r<0\r>-1\r!<128\r<0\r>85\r<1 4 134 \r>1 3 7 \r"
                           "<66 255 128 137 \r!");
    EXPECT_EQ(ByteSentEntry(255), "<255\r");
    EXPECT_EQ(FrameReceivedEntry(std::string(2, '\0')), ">0 0 \r");
    // A frame of every byte value spells each value in decimal, as its own entry would.
    std::string frame, numbers;
    for (int value = 0; value < 256; ++value) {
        frame += static_cast<char>(value);
        numbers += std::to_string(value) + ' ';
    }
    EXPECT_EQ(FrameSentEntry(frame), "<" + numbers + "\r");
}

TEST(TraceFormat, WhatTheWriterWritesTheParserReadsBack)
{
    TParsedTrace parsed;
    ASSERT_FALSE(ParseTrace(EveryKind(), parsed));
    EXPECT_EQ(parsed.Device, "\\\\.\\COM4");
    ASSERT_EQ(parsed.Entries.size(), 8u);
    EXPECT_EQ(parsed.Entries[1].Kind, TTraceEntry::ByteReceived);
    EXPECT_EQ(parsed.Entries[1].Value, -1);
    EXPECT_TRUE(parsed.Entries[2].Failed);
    EXPECT_EQ(parsed.Entries[2].Value, 128);
    EXPECT_FALSE(parsed.Entries[5].Failed);
    EXPECT_EQ(parsed.Entries[7].Kind, TTraceEntry::FrameSent);
    EXPECT_TRUE(parsed.Entries[7].Failed);
    // The failed byte write is not among the bytes sent; a frame with a failure mark is.
    EXPECT_EQ(parsed.SentBytes(), std::string("\0\0\x01\x04\x86\x42\xFF\x80\x89", 9));
    EXPECT_EQ(parsed.ReceivedBytes(), std::string("\x55\x01\x03\x07", 4));

    EXPECT_FALSE(ParseTrace("", parsed));
    EXPECT_TRUE(parsed.Device.empty());
    EXPECT_TRUE(parsed.Entries.empty());
}

TEST(TraceFormat, ReadPieceByPieceTheEntriesAreThoseOfTheWholeText)
{
    const std::string trace = EveryKind();
    TTraceReader whole;
    const std::vector<TTraceEntry> all = whole.Feed(trace);
    whole.Finish();
    ASSERT_FALSE(whole.Error());
    ASSERT_EQ(all.size(), 10u); // the attempt start and the frame's failure mark included
    EXPECT_EQ(all.front().Kind, TTraceEntry::AttemptStart);
    EXPECT_EQ(all.back().Kind, TTraceEntry::FrameFailed);

    TTraceReader reader;
    std::vector<TTraceEntry> pieces;
    for (char c : trace)
        for (TTraceEntry& entry : reader.Feed(std::string(1, c)))
            pieces.push_back(std::move(entry));
    reader.Finish();
    ASSERT_FALSE(reader.Error());
    ASSERT_EQ(pieces.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(pieces[i].Kind, all[i].Kind) << i;
        EXPECT_EQ(pieces[i].Bytes, all[i].Bytes) << i;
        EXPECT_EQ(pieces[i].Failed, all[i].Failed) << i;
    }
}

TEST(TraceFormat, WhatTheWorkerNeverWritesIsRefused)
{
    TParsedTrace parsed;
    for (const char* bad :
         {"<0\r",           "USB\r<256\r", "USB\r<01\r", "USB\r<-1\r",    "USB\r>1 -1 \r",
          "USB\r<1 2\r",    "USB\r<1\r\n", "USB\r!",     "USB\r<1",       "USB\r>1 2 \r!",
          "USB\r<1 2 \r!!", "USB",         "USB\r!>5\r", "USB\r!<1 2 \r", "USB\r<1  2 \r",
          "USB\r< \r",      "USB\r<\r",    "USB\rUSB\r", "USB\r<+5\r",    "USB\r>1234\r"})
        EXPECT_TRUE(ParseTrace(bad, parsed)) << bad;
    EXPECT_EQ(ParseTrace("USB/dev/x\r<0\r>0\r<x\r", parsed), "entry 4: not a byte or frame entry");
    EXPECT_EQ(ParseTrace("USB/dev/x\r<0", parsed), "entry 2: the record ends inside an entry");

    // Once refused, the reader takes nothing more.
    TTraceReader reader;
    EXPECT_EQ(reader.Feed("USB/dev/x\r<9999\r").size(), 1u);
    EXPECT_TRUE(reader.Feed("<0\r").empty());
    ASSERT_TRUE(reader.Error());
    EXPECT_EQ(reader.Error()->Entry, 1u);
}

TEST(TraceFormat, TheDeviceIsTakenFromTheAttemptStart)
{
    EXPECT_EQ(TraceDevice("USB/dev/ttyACM0\r<0\r"), "/dev/ttyACM0");
    EXPECT_EQ(TraceDevice("USB\\\\.\\COM4"), "\\\\.\\COM4");
    EXPECT_EQ(TraceDevice(""), "");
    EXPECT_EQ(TraceDevice("<0\rUSB/dev/x\r"), "");
}

TEST(TraceFormat, EntriesAreReadOnlyAsFarAsTheyAreTaken)
{
    // A walk that has seen enough stops there: what follows, however long or damaged, is never
    // parsed (explain reads files of up to 4 MB).
    TTraceReader reader;
    reader.Append("USB/dev/x\r<0\r<bad\r" + std::string(1 << 20, 'x'));
    ASSERT_TRUE(reader.Next());
    const auto entry = reader.Next();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Value, 0);
    EXPECT_FALSE(reader.Error());
    EXPECT_FALSE(reader.Next());
    ASSERT_TRUE(reader.Error());
    EXPECT_EQ(reader.Error()->Entry, 2u);

    // Appended a little at a time, a long record reads as a whole one.
    TTraceReader pieces;
    pieces.Append("USB/dev/x\r");
    std::size_t count = 0;
    for (int i = 0; i < 20000; ++i) {
        pieces.Append(i % 2 == 0 ? "<0\r" : ">-1\r");
        while (pieces.Next())
            ++count;
    }
    pieces.Finish();
    EXPECT_FALSE(pieces.Error());
    EXPECT_EQ(count, 20001u);
}
