// The usbmon reader of srvdiag-gadgetserver, fed lines as cdc_acm's traffic shows them on a real
// bus (taken from a read-out in the usbvm machine).

#include "tools/usbvm/usbmonlines.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Feed(const std::vector<std::string>& lines)
{
    TUsbmonLines monitor;
    for (const std::string& line : lines)
        monitor.Feed(line);
    return monitor.Events();
}

TEST(UsbmonLines, ReadOutOnARealBusReadsAsTheLineRecorderWritesIt)
{
    const std::vector<std::string> events = Feed({
        // Enumeration: the root hub and the address phase are left out; binding sets 9600 8N1.
        "ffff888006540780 11440461 S Co:1:001:0 s 23 03 0004 0001 0000 0",
        "ffff888006540780 11440461 S Co:1:000:0 s 00 05 0002 0000 0000 0",
        "ffff8880065409c0 11494399 S Co:1:002:0 s 00 09 0001 0000 0000 0",
        "ffff888006566b40 11511853 S Co:1:002:0 s 21 20 0000 0000 0007 7 = 80250000 000008",
        "ffff888006566b40 11519680 C Co:1:002:0 0 7 >",
        // The tool opens the port: the interrupt URB is submitted, completes with a serial state
        // notification and is submitted again; then the driver raises both lines.
        "ffff8880065409c0 13112960 S Ii:1:002:5 -115:256 10 <",
        "ffff8880065409c0 13113636 C Ii:1:002:5 0:256 10 = a1200000 00000200 0300",
        "ffff8880065409c0 13113800 S Ii:1:002:5 -115:256 10 <",
        "ffff888006566300 13121701 S Co:1:002:0 s 21 22 0003 0000 0000 0",
        "ffff888006566300 13126253 S Co:1:002:0 s 21 20 0000 0000 0007 7 = 80250000 020008",
        "ffff888006566300 13132353 S Co:1:002:0 s 21 22 0002 0000 0000 0",
        "ffff888006566300 13336774 S Co:1:002:0 s 21 22 0003 0000 0000 0",
        "ffff888006566300 13337879 S Co:1:002:0 s 21 22 0001 0000 0000 0",
        "ffff888006566300 13337900 S Co:1:002:0 s 21 22 0001 0000 0000 0", // unchanged
        "ffff888006577000 13439767 S Bo:1:002:1 -115 1 = 00",
        "ffff888006577000 13440767 S Bo:1:002:1 -115 1 = 00",
        // The last close drops the lines and kills the interrupt URB.
        "ffff888006566300 14388205 S Co:1:002:0 s 21 22 0000 0000 0000 0",
        "ffff8880065409c0 14389909 C Ii:1:002:5 -2:256 0",
        // Opened again, then pulled out: the URB ends with the controller's shutdown error.
        "ffff8880065409c0 15000000 S Ii:1:002:5 -115:256 10 <",
        "ffff888006566300 15000100 S Co:1:002:0 s 21 22 0003 0000 0000 0",
        "ffff888006577000 15000200 S Bo:1:002:1 -115 1 = 00",
        "ffff8880065409c0 15100000 C Ii:1:002:5 -108:256 0",
        "garbage",
    });
    EXPECT_EQ(events, (std::vector<std::string>{
                          "0.000 coding 9600 8N1",
                          "1609.848 open DTR=1 RTS=1",
                          "1614.400 coding 9600 8N2",
                          "1620.500 DTR=0 RTS=1",
                          "1824.921 DTR=1 RTS=1",
                          "1826.026 DTR=1 RTS=0",
                          "1927.914 write",
                          "2876.352 DTR=0 RTS=0",
                          "2878.056 close",
                          "3488.247 open DTR=1 RTS=1",
                          "3488.347 write",
                          "3588.147 gone",
                      }));
}

} // namespace
