#include "worker/devicelister.h"

#include <algorithm>
#include <libudev.h>

namespace {

struct TUdevUnref
{
    void operator()(udev* p) const { udev_unref(p); }
    void operator()(udev_enumerate* p) const { udev_enumerate_unref(p); }
    void operator()(udev_device* p) const { udev_device_unref(p); }
};
template <typename T> using TUdevPtr = std::unique_ptr<T, TUdevUnref>;

std::string Attribute(udev_device* device, const char* name)
{
    const char* value = udev_device_get_sysattr_value(device, name);
    return value ? value : "";
}

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string HardwareId(udev_device* device)
{
    const std::string vendor = Attribute(device, "idVendor");
    const std::string product = Attribute(device, "idProduct");
    const std::string revision = Attribute(device, "bcdDevice");
    if (vendor.empty() || product.empty() || revision.empty())
        return "";
    return "USB\\VID_" + Upper(vendor) + "&PID_" + Upper(product) + "&REV_" + Upper(revision);
}

// The name of the first tty below the device (its CDC interface's ttyACM0), or empty.
std::string FirstTtyChild(udev* context, udev_device* device)
{
    TUdevPtr<udev_enumerate> children(udev_enumerate_new(context));
    if (!children || udev_enumerate_add_match_parent(children.get(), device) < 0 ||
        udev_enumerate_add_match_subsystem(children.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(children.get()) < 0)
        return "";
    udev_list_entry* entry = udev_enumerate_get_list_entry(children.get());
    for (; entry != nullptr; entry = udev_list_entry_get_next(entry)) {
        TUdevPtr<udev_device> child(
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (child && udev_device_get_sysname(child.get()))
            return udev_device_get_sysname(child.get());
    }
    return "";
}

std::string FriendlyName(udev* context, udev_device* device)
{
    std::string name = Attribute(device, "product");
    if (name.empty()) {
        // Only present when the hardware database has run over the device; a test bed
        // without udev has the sysfs attribute alone.
        const char* model = udev_device_get_property_value(device, "ID_MODEL_FROM_DATABASE");
        name = model ? model : "";
    }
    // The product text comes from the device itself and must not be able to name a port ("Evil
    // (sda)" on a device without a tty): its parentheses become brackets, so the only port name
    // is the tty found below.
    std::replace(name.begin(), name.end(), '(', '[');
    std::replace(name.begin(), name.end(), ')', ']');
    const std::string tty = FirstTtyChild(context, device);
    if (!tty.empty())
        name += " (" + tty + ")";
    return name;
}

class TUdevDeviceLister final : public TDeviceLister
{
public:
    std::optional<std::vector<TUsbDevice>> List() override
    {
        TUdevPtr<udev> context(udev_new());
        if (!context)
            return std::nullopt;
        TUdevPtr<udev_enumerate> devices(udev_enumerate_new(context.get()));
        if (!devices || udev_enumerate_add_match_subsystem(devices.get(), "usb") < 0 ||
            udev_enumerate_scan_devices(devices.get()) < 0)
            return std::nullopt;
        std::vector<TUsbDevice> result;
        udev_list_entry* entry = udev_enumerate_get_list_entry(devices.get());
        for (; entry != nullptr; entry = udev_list_entry_get_next(entry)) {
            TUdevPtr<udev_device> device(
                udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
            if (!device)
                continue;
            const char* type = udev_device_get_devtype(device.get());
            if (type == nullptr || std::string(type) != "usb_device")
                continue; // the subsystem also lists every interface of each device
            const char* sysname = udev_device_get_sysname(device.get());
            result.push_back(
                {HardwareId(device.get()), FriendlyName(context.get(), device.get()),
                 sysname ? sysname : "",
                 Attribute(device.get(), "busnum") + ":" + Attribute(device.get(), "devnum")});
        }
        return result;
    }
};

} // namespace

std::unique_ptr<TDeviceLister> MakeUdevDeviceLister()
{
    return std::make_unique<TUdevDeviceLister>();
}

std::unique_ptr<TDeviceLister> MakeSystemDeviceLister()
{
    return MakeUdevDeviceLister();
}
