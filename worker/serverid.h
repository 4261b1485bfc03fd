#pragma once

#include "worker/devicelister.h"

#include <optional>
#include <string>
#include <vector>

// The server's identity among the USB devices and where its serial port is found.

// True when the first 21 characters of the identifier, with a to z upper-cased, equal
// "USB\VID_04D8&PID_FE88". A shorter identifier never matches.
bool IsServerHardwareId(const std::string& hardwareId);

// The text inside the last "(" of the friendly name and the first ")" after it; no value when
// there is no "(" or no ")" follows it. The text may be empty.
std::optional<std::string> PortNameFromFriendlyName(const std::string& friendlyName);

// The port name of the server: the first device whose identifier matches decides, whatever its
// friendly name holds. No value when none matches or the first match names no port.
std::optional<std::string> ServerPortName(const std::vector<TUsbDevice>& devices);

// The device path of the server: its port name made a path by the lister (SystemDevicePath
// without one). No value when there is no port name or the lister refuses it (on Linux a port
// outside the device folder, a ".." part).
std::optional<std::string> ServerDeviceName(const std::vector<TUsbDevice>& devices,
                                            const TDeviceLister* lister = nullptr);
