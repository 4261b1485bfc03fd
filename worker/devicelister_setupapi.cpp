// The Windows lister: the present device interfaces of the USB device class through SetupAPI,
// each with its hardware identifier and friendly name.
#include "worker/devicelister.h"
#include "worker/serverid.h"

// windows.h first; initguid.h makes usbiodef.h define the interface class GUID here.
// clang-format off
#include <windows.h>
#include <initguid.h>
#include <setupapi.h>
#include <usbiodef.h>
// clang-format on

namespace {

// Owns a device information set.
class TDeviceInfoSet
{
public:
    explicit TDeviceInfoSet(HDEVINFO set) : Set(set) {}
    ~TDeviceInfoSet()
    {
        if (Valid())
            SetupDiDestroyDeviceInfoList(Set);
    }
    TDeviceInfoSet(const TDeviceInfoSet&) = delete;
    TDeviceInfoSet& operator=(const TDeviceInfoSet&) = delete;

    bool Valid() const { return Set != INVALID_HANDLE_VALUE; }
    HDEVINFO Get() const { return Set; }

private:
    HDEVINFO Set;
};

// A string property of the device, the first string of a multi-string; empty when the device
// has none or the call fails.
std::string StringProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property)
{
    DWORD size = 0;
    SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr, nullptr, 0, &size);
    if (size == 0)
        return "";
    std::string value(size, '\0');
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, &type,
                                           reinterpret_cast<BYTE*>(value.data()), size, nullptr))
        return "";
    if (type != REG_SZ && type != REG_MULTI_SZ && type != REG_EXPAND_SZ)
        return "";
    // A multi-string holds several identifiers; the first is the most specific one.
    value.resize(value.find('\0') == std::string::npos ? value.size() : value.find('\0'));
    return value;
}

class TSetupApiDeviceLister final : public TDeviceLister
{
public:
    std::optional<std::vector<TUsbDevice>> List() override
    {
        TDeviceInfoSet set(SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_DEVICE, nullptr, nullptr,
                                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
        if (!set.Valid())
            return std::nullopt;
        std::vector<TUsbDevice> result;
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA entry{};
            entry.cbSize = sizeof entry;
            if (!SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &GUID_DEVINTERFACE_USB_DEVICE,
                                             index, &entry)) {
                if (GetLastError() == ERROR_NO_MORE_ITEMS)
                    break;
                return std::nullopt;
            }
            // The detail call gives the interface's device; its path is not needed.
            DWORD size = 0;
            SetupDiGetDeviceInterfaceDetailA(set.Get(), &entry, nullptr, 0, &size, nullptr);
            if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
                continue;
            std::vector<std::uint8_t> storage(size);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof device;
            if (!SetupDiGetDeviceInterfaceDetailA(set.Get(), &entry, detail, size, nullptr,
                                                  &device))
                continue;
            result.push_back({StringProperty(set.Get(), device, SPDRP_HARDWAREID),
                              StringProperty(set.Get(), device, SPDRP_FRIENDLYNAME)});
        }
        return result;
    }

    std::optional<std::string> DevicePath(const std::string& portName) const override
    {
        return ComDevicePath(portName);
    }
};

} // namespace

std::unique_ptr<TDeviceLister> MakeSetupApiDeviceLister()
{
    return std::make_unique<TSetupApiDeviceLister>();
}
