#include "app/cli/serverchoice.h"
#include "tests/support/listlister.h"
#include "worker/serverid.h"

#include <gtest/gtest.h>

namespace {

const std::vector<TUsbDevice> Present{
    {"USB\\VID_1234&PID_5678&REV_0100", "Mouse (ttyS0)", "1-3", "1:2"},
    {"USB\\VID_04D8&PID_FE88&REV_0100", "Server", "1-1", "1:3"},
    {"USB\\VID_04D8&PID_FE88&REV_0100", "Server (ttyACM0)", "1-2", "1:4"},
    {"usb\\vid_04d8&pid_fe88&rev_0100", "Server (ttyACM1)", "1-4", "1:5"},
};

std::string PathOf(const char* port)
{
    return SystemDevicePath(port).value_or("");
}

TEST(ServerChoice, ListsEveryMatchingDeviceInOrderWithItsPort)
{
    const TListLister lister(Present);
    const std::vector<TServerEntry> servers = ListServers(Present, lister);
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(servers[0].DevicePath, "") << "a server without a port is still listed";
    EXPECT_EQ(servers[1].DevicePath, PathOf("ttyACM0"));
    EXPECT_EQ(servers[2].DevicePath, PathOf("ttyACM1"));
    EXPECT_EQ(servers[2].UsbPath, "1-4");
    EXPECT_FALSE(servers[1].SameDevice(servers[2]));
    TServerEntry replugged = servers[2];
    replugged.PlugId = "1:9";
    EXPECT_FALSE(replugged.SameDevice(servers[2])) << "plugged in again at the same place";
}

TEST(ServerChoice, ThePortChosenIsWhatDiscoveryFinds)
{
    // The worker's discovery, unchanged, over the chosen port's lister.
    for (const char* given : {"ttyACM1", "/dev/ttyACM1"}) {
        SCOPED_TRACE(given);
        TOnePortLister lister(std::make_unique<TListLister>(Present), given);
        const auto devices = lister.List();
        ASSERT_TRUE(devices);
        EXPECT_EQ(ServerDeviceName(*devices, &lister), PathOf("ttyACM1"));
    }
    TOnePortLister mouse(std::make_unique<TListLister>(Present), "ttyS0");
    EXPECT_EQ(ServerDeviceName(*mouse.List(), &mouse), std::nullopt) << "not a server's port";
    TOnePortLister absent(std::make_unique<TListLister>(Present), "ttyACM7");
    EXPECT_EQ(ServerDeviceName(*absent.List(), &absent), std::nullopt);
}

} // namespace
