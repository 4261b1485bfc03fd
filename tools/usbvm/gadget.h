#pragma once

#include <chrono>
#include <string>

// The server as a USB gadget on the machine's dummy host controller: a configfs gadget of
// vendor 04d8, product fe88, product text "Server", with one CDC-ACM function whose device side
// is /dev/ttyGS0. Plugging binds it to the controller, so the host side enumerates it and
// cdc_acm makes a /dev/ttyACM node for it; unplugging unbinds it, as pulling the cable does.
// Needs root, configfs mounted and the modules dummy_hcd, libcomposite and usb_f_acm loaded.
class TGadget
{
public:
    TGadget();  // makes the gadget unless it is there already; throws when it cannot
    ~TGadget(); // unplugs
    TGadget(const TGadget&) = delete;
    TGadget& operator=(const TGadget&) = delete;

    const std::string& DeviceTty() const { return Tty; } // "/dev/ttyGS0"
    void Plug();
    void Unplug();
    // After Plug: waits until the host side has a tty for the gadget that udev has finished
    // with, and returns its node ("/dev/ttyACM0"); empty when none came within limit.
    std::string WaitForHostTty(std::chrono::milliseconds limit) const;
    // After Unplug: waits until the host side has no tty of the gadget left.
    bool WaitForHostTtyGone(std::chrono::milliseconds limit) const;

private:
    std::string Dir;
    std::string Tty;
    std::string Udc;
};
