// Discovery through the real SetupAPI calls, against fake USB devices registered in the Wine
// prefix's registry with a REGEDIT4 file. Wine's SetupAPI reads these keys as present devices
// (on Windows they cannot be faked: this is a Wine-only fixture) and lists them in the
// alphabetical order of their interface keys, which the cases rely on to put one device first.
#include "worker/devicelister.h"
#include "worker/serverid.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <vector>
#include <windows.h>

namespace {

constexpr const char* kUsbInterfaceClass = "{A5DCBF10-6530-11D2-901F-00C04FB951ED}";
constexpr const char* kPortsClass = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
constexpr const char* kEnum = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\USB";
constexpr const char* kClasses =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses\\";

struct TFakeDevice
{
    std::string VidPid;   // "VID_04D8&PID_FE88"
    std::string Instance; // decides the listing order under Wine
    std::string Revision; // "0100"
    std::optional<std::string> FriendlyName;
};

// A REGEDIT4 string value: backslashes and quotes escaped.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// A REGEDIT4 multi-string value.
std::string MultiString(const std::vector<std::string>& strings)
{
    std::string out = "hex(7):";
    char byte[4];
    bool first = true;
    auto add = [&](unsigned char c) {
        std::snprintf(byte, sizeof byte, "%02x", c);
        out += first ? "" : ",";
        out += byte;
        first = false;
    };
    for (const std::string& s : strings) {
        for (const char c : s)
            add(static_cast<unsigned char>(c));
        add(0);
    }
    add(0);
    return out;
}

// Replaces every registered USB device with `devices`, through regedit.
void RegisterDevices(const std::vector<TFakeDevice>& devices)
{
    std::string reg = "REGEDIT4\r\n\r\n";
    reg += "[-" + std::string(kEnum) + "]\r\n";
    reg += "[-" + std::string(kClasses) + kUsbInterfaceClass + "]\r\n\r\n";
    for (const TFakeDevice& d : devices) {
        const std::string instanceId = "USB\\" + d.VidPid + "\\" + d.Instance;
        reg += "[" + std::string(kEnum) + "\\" + d.VidPid + "\\" + d.Instance + "]\r\n";
        reg += "\"ClassGUID\"=" + Quoted(kPortsClass) + "\r\n";
        reg += "\"HardwareID\"=" +
               MultiString({"USB\\" + d.VidPid + "&REV_" + d.Revision, "USB\\" + d.VidPid}) +
               "\r\n";
        if (d.FriendlyName)
            reg += "\"FriendlyName\"=" + Quoted(*d.FriendlyName) + "\r\n";
        const std::string interfaceKey = std::string(kClasses) + kUsbInterfaceClass + "\\##?#USB#" +
                                         d.VidPid + "#" + d.Instance + "#" + kUsbInterfaceClass;
        reg += "\r\n[" + interfaceKey + "]\r\n";
        reg += "\"DeviceInstance\"=" + Quoted(instanceId) + "\r\n";
        reg += "\r\n[" + interfaceKey + "\\#]\r\n";
        reg += "\r\n[" + interfaceKey + "\\#\\Control]\r\n";
        reg += "\"Linked\"=dword:00000001\r\n\r\n";
    }

    char folder[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(sizeof folder, folder), 0u);
    const std::string file = std::string(folder) + "srvdiag-usb-devices.reg";
    {
        std::ofstream out(file, std::ios::binary);
        out << reg;
        ASSERT_TRUE(out.good());
    }
    std::string command = "regedit.exe /S \"" + file + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFileA(file.c_str());
}

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

    std::unique_ptr<TDeviceLister> Lister = MakeSetupApiDeviceLister();
};

TEST_F(SetupApiDiscovery, FindsTheServerByItsMostSpecificHardwareIdAndOpensItsComPort)
{
    RegisterDevices({{"VID_04D8&PID_FE88", "5&1a2b3c4d&0&1", "0100", "Server (COM5)"}});
    const auto devices = Lister->List();
    ASSERT_TRUE(devices.has_value());
    ASSERT_EQ(devices->size(), 1u);
    EXPECT_EQ((*devices)[0].HardwareId, "USB\\VID_04D8&PID_FE88&REV_0100");
    EXPECT_EQ((*devices)[0].FriendlyName, "Server (COM5)");
    EXPECT_EQ(ServerPath(*Lister, *devices), "\\\\.\\COM5");
}

TEST_F(SetupApiDiscovery, NoDevicesAndAnotherProductAreNotTheServer)
{
    RegisterDevices({});
    auto devices = Lister->List();
    ASSERT_TRUE(devices.has_value());
    EXPECT_TRUE(devices->empty());

    RegisterDevices({{"VID_04D8&PID_FE89", "1", "0100", "Other (COM6)"}});
    devices = Lister->List();
    ASSERT_TRUE(devices.has_value());
    ASSERT_EQ(devices->size(), 1u);
    EXPECT_EQ((*devices)[0].FriendlyName, "Other (COM6)");
    EXPECT_EQ(ServerPath(*Lister, *devices), std::nullopt);
}

TEST_F(SetupApiDiscovery, TheFirstMatchDecidesEvenWithoutAFriendlyName)
{
    RegisterDevices({{"VID_04D8&PID_FE88", "1", "0100", std::nullopt},
                     {"VID_04D8&PID_FE88", "2", "0101", "Server (COM7)"}});
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
        RegisterDevices({{"VID_04D8&PID_FE88", "1", "0100", std::string(name)}});
        const auto devices = Lister->List();
        ASSERT_TRUE(devices.has_value());
        ASSERT_EQ(devices->size(), 1u);
        EXPECT_EQ((*devices)[0].FriendlyName, name);
        EXPECT_EQ(ServerPath(*Lister, *devices), std::nullopt) << name;
    }
}

} // namespace
