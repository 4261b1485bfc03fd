#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One present USB device as discovery sees it.
struct TUsbDevice
{
    std::string HardwareId;   // "USB\VID_vvvv&PID_pppp&REV_rrrr", or empty when unknown
    std::string FriendlyName; // product name, then " (port)" when the device has a serial port
};

// Lists the present USB devices in the platform library's order. Discovery applies its rules
// to the list; tests hand it lists of their own.
class TDeviceLister
{
public:
    virtual ~TDeviceLister() = default;
    // No value when the platform's listing itself failed.
    virtual std::optional<std::vector<TUsbDevice>> List() = 0;
    // The device path to open for a port name taken from a friendly name; no value when the
    // name cannot be one of this platform's serial ports. By default the Linux rule.
    virtual std::optional<std::string> DevicePath(const std::string& portName) const;
};

// The Linux lister (libudev): subsystem usb, device type usb_device.
std::unique_ptr<TDeviceLister> MakeUdevDeviceLister();

// The Windows lister (SetupAPI): the present interfaces of the USB device class; port names
// must be COM port names and open as "\\.\" + name.
std::unique_ptr<TDeviceLister> MakeSetupApiDeviceLister();
