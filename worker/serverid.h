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

// The device path to open for a port name: "/dev/" followed by it.
std::string DeviceNameForPort(const std::string& portName);

// The port name of the server: the one in the friendly name of the first device whose
// identifier matches, whatever it holds. No value when none matches or the first match names no
// port.
std::optional<std::string> ServerPortName(const std::vector<TUsbDevice>& devices);

// The Linux device path for a port name ("/dev/" + name); no value for a name with a ".." part,
// which would lead outside the device folder.
std::optional<std::string> PosixDevicePath(const std::string& portName);

// True for a Windows COM port name: "COM" (any case) and a number from 1 to 256 without leading
// zeros.
bool IsComPortName(const std::string& portName);

// The Windows device path for a port name ("\\.\" + name); no value when the name is not a
// COM port name, so device-supplied text cannot make the tool open another device or a file.
std::optional<std::string> ComDevicePath(const std::string& portName);

// The device path of the server: the first device whose identifier matches decides, whatever
// its friendly name holds. No value when none matches or the first match names no port, or a
// port outside the device folder (a ".." part).
std::optional<std::string> ServerDeviceName(const std::vector<TUsbDevice>& devices);
