#include "worker/serverid.h"

#include <gtest/gtest.h>

TEST(ServerId, HardwareIdMatchesOnItsFirst21CharactersUpperCased)
{
    EXPECT_TRUE(IsServerHardwareId("USB\\VID_04D8&PID_FE88"));
    EXPECT_TRUE(IsServerHardwareId("usb\\vid_04d8&pid_fe88"));
    EXPECT_TRUE(IsServerHardwareId("USB\\VID_04D8&PID_FE88&REV_0100"));
    EXPECT_TRUE(IsServerHardwareId("USB\\VID_04D8&PID_FE88junk"));
    EXPECT_FALSE(IsServerHardwareId("USB\\VID_04D8&PID_FE8")); // 20 characters
    EXPECT_FALSE(IsServerHardwareId(""));
    EXPECT_FALSE(IsServerHardwareId("USB\\VID_04D9&PID_FE88&REV_0100"));
    EXPECT_FALSE(IsServerHardwareId("USB\\VID_04D8&PID_FE89&REV_0100"));
    EXPECT_FALSE(IsServerHardwareId("USB/VID_04D8&PID_FE88&REV_0100"));
}

TEST(ServerId, PortNameIsInsideTheLastParentheses)
{
    EXPECT_EQ(PortNameFromFriendlyName("Server (ttyACM0)"), "ttyACM0");
    EXPECT_EQ(PortNameFromFriendlyName("Server (old) (ttyACM1) rest"), "ttyACM1");
    EXPECT_EQ(PortNameFromFriendlyName("Server (a (ttyACM2) b)"), "ttyACM2");
    EXPECT_EQ(PortNameFromFriendlyName("Server ()"), "");
    EXPECT_EQ(PortNameFromFriendlyName("Server"), std::nullopt);
    EXPECT_EQ(PortNameFromFriendlyName("Server ttyACM0)"), std::nullopt);
    EXPECT_EQ(PortNameFromFriendlyName("Server (ttyACM0) (x"), std::nullopt);
    EXPECT_EQ(PortNameFromFriendlyName(""), std::nullopt);
}

TEST(ServerId, FirstMatchingDeviceDecides)
{
    const TUsbDevice other{"USB\\VID_1D6B&PID_0002&REV_0515", "Hub (ttyUSB9)"};
    const TUsbDevice named{"USB\\VID_04D8&PID_FE88&REV_0100", "Server (ttyACM1)"};
    const TUsbDevice unnamed{"USB\\VID_04D8&PID_FE88&REV_0100", "Server"};
    const TUsbDevice unknown{"", "Something (ttyS0)"};

    EXPECT_EQ(ServerDeviceName({other, unknown, named}), "/dev/ttyACM1");
    EXPECT_EQ(ServerDeviceName({unnamed, named}), std::nullopt); // the second is never examined
    EXPECT_EQ(ServerDeviceName({other, unknown}), std::nullopt);
    EXPECT_EQ(ServerDeviceName({}), std::nullopt);
    EXPECT_EQ(ServerDeviceName({{"USB\\VID_04D8&PID_FE88", "Server ()"}}), "/dev/");
}

TEST(ServerId, UdevListerListsWithoutFailing)
{
    // Whatever the machine has plugged in: the listing works without a udev database, and
    // every identifier it builds has the fixed shape or is empty.
    const auto devices = MakeUdevDeviceLister()->List();
    ASSERT_TRUE(devices.has_value());
    for (const TUsbDevice& device : *devices) {
        if (!device.HardwareId.empty()) {
            EXPECT_EQ(device.HardwareId.rfind("USB\\VID_", 0), 0u) << device.HardwareId;
            EXPECT_EQ(device.HardwareId.size(), 30u) << device.HardwareId;
            EXPECT_EQ(device.HardwareId.find_first_of("abcdef"), std::string::npos);
        }
    }
}

TEST(ServerId, WindowsPortNamesMustBeComPortNames)
{
    for (const char* name : {"COM1", "com5", "COM256", "Com42"})
        EXPECT_EQ(ComDevicePath(name), std::string("\\\\.\\") + name) << name;
    for (const char* name :
         {"", "COM", "COM0", "COM05", "COM257", "COM1000", "COM5 ", "COM5x", "\\\\.\\COM5",
          "COM5\\..\\PhysicalDrive0", "PhysicalDrive0", "C:", "LPT1", "NUL", "CON"})
        EXPECT_EQ(ComDevicePath(name), std::nullopt) << name;
    // Discovery asks the lister for the path: a port name the Linux rule accepts is no COM port.
    EXPECT_EQ(PosixDevicePath("ttyACM0"), "/dev/ttyACM0");
    EXPECT_EQ(PosixDevicePath("../sda"), std::nullopt);
}
