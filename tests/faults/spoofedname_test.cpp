#include "worker/devicelister.h"
#include "worker/serverid.h"

#include <gtest/gtest.h>

// Run under umockdev-run with spoofed-devices.umockdev: a device that claims the server's
// identifier but has no serial port, and whose product text names a disk in parentheses. That
// text must not become the port to open; the server is not found.
TEST(SpoofedDevice, ProductTextNamesNoPort)
{
    const auto devices = MakeUdevDeviceLister()->List();
    ASSERT_TRUE(devices);
    ASSERT_EQ(devices->size(), 1u);
    EXPECT_TRUE(IsServerHardwareId((*devices)[0].HardwareId));
    EXPECT_FALSE(ServerDeviceName(*devices)) << (*devices)[0].FriendlyName;
}
