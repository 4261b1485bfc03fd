#include "app/cli/discoveryrecord.h"

#include "app/cli/clitexts.h"
#include "worker/serverid.h"

namespace {

constexpr std::size_t MostDevicesNamed = 8;

class TRecordingLister final : public TDeviceLister
{
public:
    TRecordingLister(std::unique_ptr<TDeviceLister> inner, TDiscoveryRecord& record)
        : Inner(std::move(inner)), Record(record)
    {
    }
    std::optional<std::vector<TUsbDevice>> List() override
    {
        auto devices = Inner->List();
        Record.Keep(devices);
        return devices;
    }
    std::optional<std::string> DevicePath(const std::string& portName) const override
    {
        return Inner->DevicePath(portName);
    }

private:
    std::unique_ptr<TDeviceLister> Inner;
    TDiscoveryRecord& Record;
};

// The four hexadecimal digits after key in a hardware identifier, in small letters; empty when
// there are none.
std::string IdPart(const std::string& hardwareId, const std::string& key)
{
    std::string upper = hardwareId;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    const std::size_t at = upper.find(key);
    if (at == std::string::npos || at + key.size() + 4 > upper.size())
        return "";
    std::string part = upper.substr(at + key.size(), 4);
    for (char& c : part) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return "";
        if (c >= 'A')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return part;
}

// "vvvv:pppp Name" for a device, or its identifier as it is when it has no USB id in it.
std::string DeviceText(const TUsbDevice& device)
{
    const std::string vendor = IdPart(device.HardwareId, "VID_");
    const std::string product = IdPart(device.HardwareId, "PID_");
    std::string text = vendor.empty() || product.empty()
                           ? (device.HardwareId.empty() ? "?" : device.HardwareId)
                           : vendor + ":" + product;
    if (!device.FriendlyName.empty())
        text += " " + device.FriendlyName;
    return text;
}

} // namespace

void TDiscoveryRecord::Keep(const std::optional<std::vector<TUsbDevice>>& devices)
{
    std::lock_guard guard(Lock);
    Done = true;
    Last = devices;
}

bool TDiscoveryRecord::Listed() const
{
    std::lock_guard guard(Lock);
    return Done;
}

std::optional<std::vector<TUsbDevice>> TDiscoveryRecord::Devices() const
{
    std::lock_guard guard(Lock);
    return Last;
}

std::unique_ptr<TDeviceLister> MakeRecordingLister(std::unique_ptr<TDeviceLister> inner,
                                                   TDiscoveryRecord& record)
{
    return std::make_unique<TRecordingLister>(std::move(inner), record);
}

std::string DiscoveryFailureText(const std::optional<std::vector<TUsbDevice>>& devices,
                                 std::uint8_t langIndex)
{
    if (!devices)
        return CliText(cmListingFailed, langIndex);
    for (const TUsbDevice& device : *devices)
        if (IsServerHardwareId(device.HardwareId))
            return CliText(cmServerWithoutPort, langIndex, {device.FriendlyName});
    std::string found;
    for (std::size_t i = 0; i < devices->size() && i < MostDevicesNamed; ++i)
        found += (i > 0 ? ", " : "") + DeviceText((*devices)[i]);
    if (devices->size() > MostDevicesNamed)
        found += ", " + CliText(cmMoreDevices, langIndex,
                                {std::to_string(devices->size() - MostDevicesNamed)});
    if (found.empty())
        found = CliText(cmNoUsbDevices, langIndex);
    return CliText(cmNoServerDevice, langIndex, {found});
}
