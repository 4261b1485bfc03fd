#include "fakeusbdevices.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

constexpr const char* kUsbInterfaceClass = "{A5DCBF10-6530-11D2-901F-00C04FB951ED}";
constexpr const char* kPortsClass = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
constexpr const char* kEnum = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\USB";
constexpr const char* kClasses =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses\\";

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

} // namespace

bool RegisterDevices(const std::vector<TFakeDevice>& devices)
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
    if (GetTempPathA(sizeof folder, folder) == 0) {
        ADD_FAILURE() << "no temporary folder";
        return false;
    }
    const std::string file = std::string(folder) + "srvdiag-usb-devices.reg";
    {
        std::ofstream out(file, std::ios::binary);
        out << reg;
        if (!out.good()) {
            ADD_FAILURE() << "cannot write " << file;
            return false;
        }
    }
    std::string command = "regedit.exe /S \"" + file + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot run regedit: " << GetLastError();
        return false;
    }
    const bool finished = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFileA(file.c_str());
    if (!finished)
        ADD_FAILURE() << "regedit did not finish within 30 s";
    return finished;
}
