// Discovery through the real SetupAPI calls, against fake USB devices registered in the Wine
// prefix's registry. Wine lists them in the alphabetical order of their interface keys, which the
// cases rely on to put one device first.
#include "fakeusbdevices.h"
#include "worker/devicelister.h"
#include "worker/serverid.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace {

struct SetupApiDiscovery : ::testing::Test
{
    void TearDown() override { RegisterDevices({}); }

    // What the worker's discovery makes of the listing: the device path or nothing.
    static std::optional<std::string> ServerPath(TDeviceLister& lister,
                                                 const std::vector<TUsbDevice>& devices)
    {
        const auto port = ServerPortName(devices);
        return port ? lister.DevicePath(*port) : std::nullopt;
    }

    std::unique_ptr<TDeviceLister> Lister = MakeSystemDeviceLister();
};

TEST_F(SetupApiDiscovery, FindsTheServerByItsMostSpecificHardwareIdAndOpensItsComPort)
{
    ASSERT_TRUE(
        RegisterDevices({{"VID_04D8&PID_FE88", "5&1a2b3c4d&0&1", "0100", "Server (COM5)"}}));
    const auto devices = Lister->List();
    ASSERT_TRUE(devices.has_value());
    ASSERT_EQ(devices->size(), 1u);
    EXPECT_EQ((*devices)[0].HardwareId, "USB\\VID_04D8&PID_FE88&REV_0100");
    EXPECT_EQ((*devices)[0].FriendlyName, "Server (COM5)");
    EXPECT_EQ(ServerPath(*Lister, *devices), "\\\\.\\COM5");
}

TEST_F(SetupApiDiscovery, NoDevicesAndAnotherProductAreNotTheServer)
{
    ASSERT_TRUE(RegisterDevices({}));
    auto devices = Lister->List();
    ASSERT_TRUE(devices.has_value());
    EXPECT_TRUE(devices->empty());

    ASSERT_TRUE(RegisterDevices({{"VID_04D8&PID_FE89", "1", "0100", "Other (COM6)"}}));
    devices = Lister->List();
    ASSERT_TRUE(devices.has_value());
    ASSERT_EQ(devices->size(), 1u);
    EXPECT_EQ((*devices)[0].FriendlyName, "Other (COM6)");
    EXPECT_EQ(ServerPath(*Lister, *devices), std::nullopt);
}

TEST_F(SetupApiDiscovery, TheFirstMatchDecidesEvenWithoutAFriendlyName)
{
    ASSERT_TRUE(RegisterDevices({{"VID_04D8&PID_FE88", "1", "0100", std::nullopt},
                                 {"VID_04D8&PID_FE88", "2", "0101", "Server (COM7)"}}));
    const auto devices = Lister->List();
    ASSERT_TRUE(devices.has_value());
    ASSERT_EQ(devices->size(), 2u);
    // The property call fails for the first: listed with an empty name, not dropped.
    EXPECT_EQ((*devices)[0].HardwareId, "USB\\VID_04D8&PID_FE88&REV_0100");
    EXPECT_EQ((*devices)[0].FriendlyName, "");
    EXPECT_EQ((*devices)[1].FriendlyName, "Server (COM7)");
    EXPECT_EQ(ServerPath(*Lister, *devices), std::nullopt);
}

TEST_F(SetupApiDiscovery, AFriendlyNameThatNamesNoComPortIsNotOpened)
{
    for (const char* name : {"Server (PhysicalDrive0)", "Server (C:\\Windows\\win.ini)",
                             "Server (COM5\\..\\PhysicalDrive0)", "Server (COM0)"}) {
        ASSERT_TRUE(RegisterDevices({{"VID_04D8&PID_FE88", "1", "0100", std::string(name)}}));
        const auto devices = Lister->List();
        ASSERT_TRUE(devices.has_value());
        ASSERT_EQ(devices->size(), 1u);
        EXPECT_EQ((*devices)[0].FriendlyName, name);
        EXPECT_EQ(ServerPath(*Lister, *devices), std::nullopt) << name;
    }
}

} // namespace
