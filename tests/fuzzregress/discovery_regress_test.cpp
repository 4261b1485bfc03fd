#include "worker/serverid.h"

#include <gtest/gtest.h>

namespace {

std::optional<std::string> Chosen(const std::string& friendlyName)
{
    return ServerDeviceName({{"USB\\VID_04D8&PID_FE88&REV_0100", friendlyName}});
}

} // namespace

// Found by fuzz_discovery: a friendly name is text the device supplies, and "(..)" in it made the
// tool open /dev/.. and "(../sda)" a disk as its serial port. A port name that climbs out of the
// device folder names no port; the server is then not found.
TEST(DiscoveryRegression, PortNameClimbingOutOfTheDeviceFolderIsNoPort)
{
    for (const char* name : {"Server (..)", "x (../sda)", "(pts/../../etc/passwd)", "(a/..)",
                             "(../..)", "Server (COM3) (..)"})
        EXPECT_FALSE(Chosen(name)) << name;
    // Names below the device folder stay as they were.
    EXPECT_EQ(Chosen("Server (ttyACM0)"), "/dev/ttyACM0");
    EXPECT_EQ(Chosen("Sim server (pts/7)"), "/dev/pts/7");
    EXPECT_EQ(Chosen("Odd (..x)"), "/dev/..x");
    EXPECT_EQ(Chosen("Empty ()"), "/dev/");
}
