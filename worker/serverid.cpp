#include "worker/serverid.h"

namespace {

constexpr char MatchText[] = "USB\\VID_04D8&PID_FE88";
constexpr std::size_t MatchLength = sizeof MatchText - 1; // 21

// True when a "/"-separated part of the name is "..".
bool ClimbsOut(const std::string& portName)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = portName.find('/', start);
        if (portName.compare(start, end == std::string::npos ? std::string::npos : end - start,
                             "..") == 0)
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

} // namespace

bool IsServerHardwareId(const std::string& hardwareId)
{
    if (hardwareId.size() < MatchLength)
        return false;
    for (std::size_t i = 0; i < MatchLength; ++i) {
        char c = hardwareId[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != MatchText[i])
            return false;
    }
    return true;
}

std::optional<std::string> PortNameFromFriendlyName(const std::string& friendlyName)
{
    std::size_t close = std::string::npos;
    for (std::size_t i = friendlyName.size(); i-- > 0;) {
        if (friendlyName[i] == ')')
            close = i;
        else if (friendlyName[i] == '(') {
            if (close == std::string::npos)
                return std::nullopt;
            return friendlyName.substr(i + 1, close - i - 1);
        }
    }
    return std::nullopt;
}

std::string DeviceNameForPort(const std::string& portName)
{
    return "/dev/" + portName;
}

std::optional<std::string> ServerPortName(const std::vector<TUsbDevice>& devices)
{
    for (const TUsbDevice& device : devices)
        if (IsServerHardwareId(device.HardwareId))
            return PortNameFromFriendlyName(device.FriendlyName);
    return std::nullopt;
}

std::optional<std::string> PosixDevicePath(const std::string& portName)
{
    // The friendly name holds text the device supplies: a port name must not climb out of the
    // device folder ("(..)", "(../sda)"), or the tool would open whatever it names.
    if (ClimbsOut(portName))
        return std::nullopt;
    return DeviceNameForPort(portName);
}

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

std::optional<std::string> ComDevicePath(const std::string& portName)
{
    if (!IsComPortName(portName))
        return std::nullopt;
    return R"(\\.\)" + portName;
}

std::optional<std::string> ServerDeviceName(const std::vector<TUsbDevice>& devices)
{
    const auto port = ServerPortName(devices);
    return port ? PosixDevicePath(*port) : std::nullopt;
}

std::optional<std::string> TDeviceLister::DevicePath(const std::string& portName) const
{
    return PosixDevicePath(portName);
}
