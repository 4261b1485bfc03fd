#include "tests/faults/traceformat.h"

#include <gtest/gtest.h>

// The checker the fault matrix and the fuzz targets rely on: it must accept every entry kind and
// refuse what the worker never writes.
TEST(TraceFormat, AcceptsEveryEntryKind)
{
    const std::string trace = "USB/dev/pts/3\r<0\r>-1\r!<128\r<0\r>85\r<1 4 134 \r>1 3 7 \r"
                              "<66 255 128 137 \r!";
    TParsedTrace parsed;
    ASSERT_FALSE(ParseTrace(trace, parsed));
    EXPECT_EQ(parsed.Device, "/dev/pts/3");
    ASSERT_EQ(parsed.Entries.size(), 8u);
    EXPECT_TRUE(parsed.Entries[2].Failed);
    EXPECT_TRUE(parsed.Entries[7].Failed);
    EXPECT_EQ(parsed.SentBytes(), std::string("\0\0\x01\x04\x86\x42\xFF\x80\x89", 9));
    EXPECT_EQ(parsed.ReceivedBytes(), std::string("\x55\x01\x03\x07", 4));
    EXPECT_FALSE(ParseTrace("", parsed));
}

TEST(TraceFormat, RefusesWhatTheWorkerNeverWrites)
{
    TParsedTrace parsed;
    for (const char* bad :
         {"<0\r", "USB\r<256\r", "USB\r<01\r", "USB\r<-1\r", "USB\r>1 -1 \r", "USB\r<1 2\r",
          "USB\r<1\r\n", "USB\r!", "USB\r<1", "USB\r>1 2 \r!", "USB\r<1 2 \r!!", "USB"})
        EXPECT_TRUE(ParseTrace(bad, parsed)) << bad;
}
