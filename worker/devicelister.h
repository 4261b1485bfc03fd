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
    // Where the device sits on the USB (on Linux its bus and port numbers, "1-1.2"), for a person
    // to tell two servers apart; empty when unknown. Discovery does not use it.
    std::string UsbPath{};
    // Changes whenever the device is plugged in again, even at the same place (on Linux its bus
    // and device number), so that a quick replug is seen as another device; empty when unknown.
    std::string PlugId{};
};

// The path to open for the port name found in a friendly name, on the system the program runs
// on: "/dev/" followed by the name on Linux (no value for a name with a ".." part, which would
// climb out of the device folder), "\\.\" followed by the COM name on Windows. The text comes
// from the device, so a name that would lead anywhere else gives no value.
std::optional<std::string> SystemDevicePath(const std::string& portName);

// Lists the present USB devices in the platform library's order. Discovery applies its rules
// to the list; tests hand it lists of their own.
class TDeviceLister
{
public:
    virtual ~TDeviceLister() = default;
    // No value when the platform's listing itself failed.
    virtual std::optional<std::vector<TUsbDevice>> List() = 0;
    // Where the port of a listed device is opened: SystemDevicePath unless a lister knows better.
    virtual std::optional<std::string> DevicePath(const std::string& portName) const
    {
        return SystemDevicePath(portName);
    }
};

// The lister of the system the program runs on (libudev on Linux, SetupAPI on Windows).
std::unique_ptr<TDeviceLister> MakeSystemDeviceLister();

// The Linux lister (libudev): subsystem usb, device type usb_device.
std::unique_ptr<TDeviceLister> MakeUdevDeviceLister();
