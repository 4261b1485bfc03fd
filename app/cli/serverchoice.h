#pragma once

#include "worker/devicelister.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Which of the present servers the command line reads: the first in listing order, as the
// window does, or the one on the port given with --port.

// One present server: a USB device whose hardware identifier matches the server's.
struct TServerEntry
{
    std::string DevicePath; // the port to open ("/dev/ttyACM0", "\\.\COM5"); empty: none found
    std::string UsbPath;    // where it sits on the USB; empty when unknown
    std::string PlugId;     // changes with every plug-in; empty when unknown

    // The same device still plugged in at the same place.
    bool SameDevice(const TServerEntry& other) const
    {
        return DevicePath == other.DevicePath && UsbPath == other.UsbPath && PlugId == other.PlugId;
    }
};

// Every matching device of the listing, in its order, with the port the lister makes of its
// friendly name (none when the friendly name names no port or the lister refuses it).
std::vector<TServerEntry> ListServers(const std::vector<TUsbDevice>& devices,
                                      const TDeviceLister& lister);

// True when the port a user gave names the device path: the path itself, the bare port name
// ("ttyACM1", "COM5") made a path as discovery makes it, or a link to the same device
// ("/dev/serial/by-id/...").
bool NamesPort(const std::string& given, const std::string& devicePath);

// The server the command line reads from a listing: with an empty port the first matching
// device as discovery takes it (which may have no port), else the first one on that port.
std::optional<TServerEntry> ChooseServer(const std::vector<TServerEntry>& servers,
                                         const std::string& port);

// A lister that shows discovery only the first server on the given port (NamesPort), so that
// the worker's discovery, unchanged, takes that server whatever comes before it in the listing,
// and finds none when no server is on that port. The inner lister still makes the port names
// into paths.
class TOnePortLister final : public TDeviceLister
{
public:
    TOnePortLister(std::unique_ptr<TDeviceLister> inner, std::string port);
    std::optional<std::vector<TUsbDevice>> List() override;
    std::optional<std::string> DevicePath(const std::string& portName) const override;

private:
    std::unique_ptr<TDeviceLister> Inner;
    const std::string Port;
};
