#include "worker/serverid.h"

namespace {

constexpr char MatchText[] = "USB\\VID_04D8&PID_FE88";
constexpr std::size_t MatchLength = sizeof MatchText - 1; // 21

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

std::optional<std::string> ServerPortName(const std::vector<TUsbDevice>& devices)
{
    for (const TUsbDevice& device : devices)
        if (IsServerHardwareId(device.HardwareId))
            return PortNameFromFriendlyName(device.FriendlyName);
    return std::nullopt;
}

std::optional<std::string> ServerDeviceName(const std::vector<TUsbDevice>& devices,
                                            const TDeviceLister* lister)
{
    const auto port = ServerPortName(devices);
    if (!port)
        return std::nullopt;
    return lister ? lister->DevicePath(*port) : SystemDevicePath(*port);
}
