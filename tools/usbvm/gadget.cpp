#include "tools/usbvm/gadget.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* GadgetDir = "/sys/kernel/config/usb_gadget/srvdiag";

void Put(const std::string& path, const std::string& value)
{
    std::ofstream out(path);
    out << value << '\n';
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + value + " to " + path + ": " +
                                 std::strerror(errno));
}

std::string Get(const std::string& path)
{
    std::ifstream in(path);
    std::string value;
    std::getline(in, value);
    return value;
}

void MakeDir(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot make " + path + ": " + std::strerror(errno));
}

// The host-side tty of the gadget: a ttyACM whose USB device has the server's ids. Empty if none.
std::string FindHostTty()
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/sys/class/tty", error)) {
        const std::string name = entry.path().filename();
        if (name.rfind("ttyACM", 0) != 0)
            continue;
        // The tty's device is the USB interface (.../B-P/B-P:1.0); its folder's parent is the
        // USB device (.../B-P).
        const fs::path device = fs::canonical(entry.path() / "device", error).parent_path();
        if (error)
            continue;
        if (Get(device / "idVendor") == "04d8" && Get(device / "idProduct") == "fe88")
            return name;
    }
    return "";
}

} // namespace

TGadget::TGadget() : Dir(GadgetDir), Tty("/dev/ttyGS0")
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/sys/class/udc", error)) {
        Udc = entry.path().filename();
        break;
    }
    if (Udc.empty())
        throw std::runtime_error("no USB device controller: is dummy_hcd loaded?");
    if (!fs::exists(Dir)) {
        if (!fs::exists("/sys/kernel/config/usb_gadget"))
            throw std::runtime_error("no /sys/kernel/config/usb_gadget: is configfs mounted and "
                                     "libcomposite loaded?");
        MakeDir(Dir);
        Put(Dir + "/idVendor", "0x04d8");
        Put(Dir + "/idProduct", "0xfe88");
        Put(Dir + "/bcdDevice", "0x0100");
        Put(Dir + "/bcdUSB", "0x0200");
        // Miscellaneous class with interface association, as composite CDC-ACM devices have.
        Put(Dir + "/bDeviceClass", "0xEF");
        Put(Dir + "/bDeviceSubClass", "0x02");
        Put(Dir + "/bDeviceProtocol", "0x01");
        MakeDir(Dir + "/strings/0x409");
        Put(Dir + "/strings/0x409/manufacturer", "srvdiag");
        Put(Dir + "/strings/0x409/product", "Server");
        Put(Dir + "/strings/0x409/serialnumber", "0001");
        MakeDir(Dir + "/functions/acm.GS0");
        MakeDir(Dir + "/configs/c.1");
        MakeDir(Dir + "/configs/c.1/strings/0x409");
        Put(Dir + "/configs/c.1/strings/0x409/configuration", "ACM");
        if (symlink((Dir + "/functions/acm.GS0").c_str(), (Dir + "/configs/c.1/acm.GS0").c_str()) !=
                0 &&
            errno != EEXIST)
            throw std::runtime_error(std::string("cannot link the ACM function: ") +
                                     std::strerror(errno));
    }
    const std::string port = Get(Dir + "/functions/acm.GS0/port_num");
    if (!port.empty())
        Tty = "/dev/ttyGS" + port;
}

TGadget::~TGadget()
{
    try {
        Unplug();
    } catch (...) {
        // Already unbound, or configfs went away: nothing left to unplug.
    }
}

void TGadget::Plug()
{
    if (Get(Dir + "/UDC").empty())
        Put(Dir + "/UDC", Udc);
}

void TGadget::Unplug()
{
    if (!Get(Dir + "/UDC").empty())
        Put(Dir + "/UDC", "");
}

std::string TGadget::WaitForHostTty(std::chrono::milliseconds limit) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string name = FindHostTty();
        // udev writes the device's database entry when it has run every rule for it.
        if (!name.empty()) {
            const std::string dev = Get("/sys/class/tty/" + name + "/dev"); // "166:0"
            if (!dev.empty() && fs::exists("/run/udev/data/c" + dev)) {
                if (std::system("udevadm settle --timeout=30") != 0) {
                    // settle only waits; the device is there either way
                }
                return "/dev/" + name;
            }
        }
        std::this_thread::sleep_for(20ms);
    }
    return "";
}

bool TGadget::WaitForHostTtyGone(std::chrono::milliseconds limit) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!FindHostTty().empty()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return std::system("udevadm settle --timeout=30") == 0;
}
