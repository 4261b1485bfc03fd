// The Windows lister: the present device interfaces of the USB device class through SetupAPI,
// each with its hardware identifier and friendly name.
#include "worker/devicelister.h"

#include <cstring>

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

// A text property of the device read into a 257-byte buffer: the bytes up to the first zero
// byte (so the first identifier of a multi-string), or all 257 when there is none. Empty when
// the device has no such property or it is longer than the buffer.
std::string ReadDeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property)
{
    char buffer[257] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer, nullptr))
        return "";
    const void* end = std::memchr(buffer, 0, sizeof buffer);
    return std::string(buffer, end ? static_cast<const char*>(end) - buffer : sizeof buffer);
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
                                             index, &entry))
                break; // no interface with this index: the listing is exhausted
            // The detail call gives the interface's device; its path is not needed.
            DWORD size = 0;
            // The size query fails by design; anything else leaves the interface unexamined.
            if (SetupDiGetDeviceInterfaceDetailA(set.Get(), &entry, nullptr, 0, &size, nullptr) ||
                GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
                size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
                continue;
            std::vector<std::uint8_t> storage(size);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof device;
            if (!SetupDiGetDeviceInterfaceDetailA(set.Get(), &entry, detail, size, nullptr,
                                                  &device))
                continue;
            result.push_back({ReadDeviceProperty(set.Get(), device, SPDRP_HARDWAREID),
                              ReadDeviceProperty(set.Get(), device, SPDRP_FRIENDLYNAME)});
        }
        return result;
    }
};

} // namespace

std::unique_ptr<TDeviceLister> MakeSystemDeviceLister()
{
    return std::make_unique<TSetupApiDeviceLister>();
}
