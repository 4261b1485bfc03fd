#include "worker/devicelister.h"

namespace {

// True for a COM port name: "COM" in any letter case and a number from 1 to 256 without a
// leading zero, nothing else (no path, no other device such as "CON", "NUL" or "PhysicalDrive0").
bool IsComPortName(const std::string& portName)
{
    if (portName.size() < 4 || portName.size() > 6)
        return false;
    for (std::size_t i = 0; i < 3; ++i) {
        char c = portName[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != "COM"[i])
            return false;
    }
    if (portName[3] == '0')
        return false;
    int number = 0;
    for (std::size_t i = 3; i < portName.size(); ++i) {
        if (portName[i] < '0' || portName[i] > '9')
            return false;
        number = number * 10 + (portName[i] - '0');
    }
    return number <= 256;
}

} // namespace

std::optional<std::string> SystemDevicePath(const std::string& portName)
{
    // The friendly name holds text the device supplies: only a COM port name is opened, so the
    // text cannot make the tool open another device or a file.
    if (!IsComPortName(portName))
        return std::nullopt;
    return R"(\\.\)" + portName;
}
