#pragma once

#include <optional>
#include <string>
#include <vector>

// Fake USB devices in the Wine prefix's registry, written as a REGEDIT4 file and loaded with
// regedit. Wine's SetupAPI reads these keys as present devices; on Windows they cannot be faked,
// so this is a Wine-only fixture.
struct TFakeDevice
{
    std::string VidPid;   // "VID_04D8&PID_FE88"
    std::string Instance; // decides the listing order under Wine
    std::string Revision; // "0100"
    std::optional<std::string> FriendlyName;
};

// Replaces every registered USB device with `devices`; false (with a test failure) when
// regedit could not be run.
bool RegisterDevices(const std::vector<TFakeDevice>& devices);
