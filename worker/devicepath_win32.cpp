#include "worker/devicelister.h"

std::optional<std::string> SystemDevicePath(const std::string& portName)
{
    // The friendly name holds text the device supplies: a COM name with a path separator or a
    // colon would name some other file or device than a port.
    if (portName.find_first_of("\\/:") != std::string::npos)
        return std::nullopt;
    return "\\\\.\\" + portName;
}
