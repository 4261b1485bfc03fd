#include "app/cli/serverchoice.h"

#include "worker/serverid.h"

#include <filesystem>
#include <system_error>

namespace {

std::string DevicePathOf(const TUsbDevice& device, const TDeviceLister& lister)
{
    const auto port = PortNameFromFriendlyName(device.FriendlyName);
    if (!port)
        return "";
    return lister.DevicePath(*port).value_or("");
}

} // namespace

std::vector<TServerEntry> ListServers(const std::vector<TUsbDevice>& devices,
                                      const TDeviceLister& lister)
{
    std::vector<TServerEntry> servers;
    for (const TUsbDevice& device : devices)
        if (IsServerHardwareId(device.HardwareId))
            servers.push_back({DevicePathOf(device, lister), device.UsbPath, device.PlugId});
    return servers;
}

bool NamesPort(const std::string& given, const std::string& devicePath)
{
    if (given.empty() || devicePath.empty())
        return false;
    if (given == devicePath || SystemDevicePath(given) == devicePath)
        return true;
    // Links such as /dev/serial/by-id/... lead to the device itself; a name that does not
    // resolve (a COM name, a missing file) simply does not match this way.
    std::error_code failed;
    return std::filesystem::equivalent(given, devicePath, failed) && !failed;
}

std::optional<TServerEntry> ChooseServer(const std::vector<TServerEntry>& servers,
                                         const std::string& port)
{
    if (port.empty()) {
        if (servers.empty())
            return std::nullopt;
        return servers.front();
    }
    for (const TServerEntry& server : servers)
        if (NamesPort(port, server.DevicePath))
            return server;
    return std::nullopt;
}

TOnePortLister::TOnePortLister(std::unique_ptr<TDeviceLister> inner, std::string port)
    : Inner(std::move(inner)), Port(std::move(port))
{
}

std::optional<std::vector<TUsbDevice>> TOnePortLister::List()
{
    auto devices = Inner->List();
    if (!devices)
        return std::nullopt;
    std::vector<TUsbDevice> chosen;
    for (TUsbDevice& device : *devices)
        if (IsServerHardwareId(device.HardwareId) &&
            NamesPort(Port, DevicePathOf(device, *Inner))) {
            chosen.push_back(std::move(device));
            break;
        }
    return chosen;
}

std::optional<std::string> TOnePortLister::DevicePath(const std::string& portName) const
{
    return Inner->DevicePath(portName);
}
