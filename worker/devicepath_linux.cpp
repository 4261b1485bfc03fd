#include "worker/devicelister.h"

namespace {

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

std::optional<std::string> SystemDevicePath(const std::string& portName)
{
    // The friendly name holds text the device supplies: a port name must not climb out of the
    // device folder ("(..)", "(../sda)"), or the tool would open whatever it names.
    if (ClimbsOut(portName))
        return std::nullopt;
    return "/dev/" + portName;
}
