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
};

// The Linux lister (libudev): subsystem usb, device type usb_device.
std::unique_ptr<TDeviceLister> MakeUdevDeviceLister();
