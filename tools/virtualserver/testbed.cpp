#include "tools/virtualserver/testbed.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <umockdev.h>
#include <unistd.h>

namespace {

constexpr const char* PreloadLibrary = "libumockdev-preload.so.0";
constexpr const char* TtyName = "ttyACM0";
constexpr const char* SecondTtyName = "ttyACM1";

struct TGFree
{
    void operator()(gchar* p) const { g_free(p); }
};

std::string Take(gchar* text)
{
    if (text == nullptr)
        throw std::runtime_error("umockdev could not add a device");
    std::string result(text);
    g_free(text);
    return result;
}

} // namespace

TTestbed::TTestbed(TDeviceLayout layout) : Bed(umockdev_testbed_new())
{
    try {
        switch (layout) {
        case TDeviceLayout::Server:
            AddTty(AddInterface(AddUsbDevice("1-1", "fe88", "Virtual server"), "1-1:1.0"), TtyName);
            break;
        case TDeviceLayout::NoServer:
            AddInterface(AddUsbDevice("1-1", nullptr, "Other USB device"), "1-1:1.0");
            break;
        case TDeviceLayout::OtherProduct:
            AddTty(AddInterface(AddUsbDevice("1-1", "fe89", "Virtual server"), "1-1:1.0"), TtyName);
            break;
        case TDeviceLayout::TwoServers:
            AddInterface(AddUsbDevice("1-1", "fe88", "Virtual server"), "1-1:1.0");
            AddTty(AddInterface(AddUsbDevice("1-2", "fe88", "Virtual server"), "1-2:1.0"), TtyName);
            break;
        case TDeviceLayout::TwoPorts:
            AddTty(AddInterface(AddUsbDevice("1-1", "fe88", "Virtual server"), "1-1:1.0"), TtyName);
            AddTty(AddInterface(AddUsbDevice("1-2", "fe88", "Virtual server"), "1-2:1.0"),
                   SecondTtyName);
            break;
        }
    } catch (...) {
        g_object_unref(Bed);
        throw;
    }
    // The started program must not inherit the master sides: an unplug closes them.
    for (std::size_t i = 0; i < Nodes.size(); ++i)
        fcntl(Master(i), F_SETFD, FD_CLOEXEC);
}

TTestbed::~TTestbed()
{
    g_object_unref(Bed);
}

int TTestbed::Master(std::size_t index) const
{
    std::lock_guard guard(Lock);
    return index < Nodes.size() ? umockdev_testbed_get_dev_fd(Bed, Nodes[index].c_str()) : -1;
}

std::string TTestbed::SlavePath(std::size_t index) const
{
    std::lock_guard guard(Lock);
    if (index >= Nodes.size())
        return "";
    std::unique_ptr<gchar, TGFree> root(umockdev_testbed_get_root_dir(Bed));
    const std::string link = std::string(root.get()) + Nodes[index];
    char target[PATH_MAX] = {};
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "";
}

void TTestbed::AttachIoctl(UMockdevIoctlBase* handler, std::size_t index)
{
    std::lock_guard guard(Lock);
    GError* error = nullptr;
    if (index >= Nodes.size() ||
        !umockdev_testbed_attach_ioctl(Bed, Nodes[index].c_str(), handler, &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("umockdev could not attach the line handler: " + message);
    }
}

void TTestbed::Unplug()
{
    std::lock_guard guard(Lock);
    for (std::size_t i = 0; i < Nodes.size(); ++i) {
        const int master = Master(i);
        if (master < 0)
            continue;
        // umockdev owns the descriptor and closes it itself at the end, so its number must stay
        // valid: /dev/null takes its place, which closes the master side.
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            dup3(null, master, O_CLOEXEC);
            close(null);
        }
    }
    // Children first: removing a tty is what frees its node for a server plugged in later.
    for (auto device = Devices.rbegin(); device != Devices.rend(); ++device)
        umockdev_testbed_remove_device(Bed, device->c_str());
    Devices.clear();
    Nodes.clear();
}

void TTestbed::PlugServer()
{
    std::lock_guard guard(Lock);
    // umockdev leaves the bus links of removed devices and the map of their pseudo-terminals
    // behind, and refuses to add a device whose link exists (a new pseudo-terminal may get the
    // number of the old one). It also keeps the node of a removed tty, so the new one takes the
    // next number, as the kernel does while the old one is still held open.
    std::unique_ptr<gchar, TGFree> root(umockdev_testbed_get_root_dir(Bed));
    const std::string base = root.get();
    for (const char* link : {"/sys/bus/usb/devices/1-1", "/sys/bus/usb/devices/1-1:1.0"})
        unlink((base + link).c_str());
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(base + "/dev/.ptymap", ignored))
        std::filesystem::remove(entry.path(), ignored);
    const std::string tty = "ttyACM" + std::to_string(TtysAdded);
    AddTty(AddInterface(AddUsbDevice("1-1", "fe88", "Virtual server"), "1-1:1.0"), tty.c_str());
    fcntl(Master(), F_SETFD, FD_CLOEXEC);
}

// A USB device of the server's vendor (04d8) with the given product id, or an unrelated device
// (1234:5678) when product is null.
std::string TTestbed::AddUsbDevice(const char* name, const char* product, const char* model)
{
    const std::string deviceNumber = std::to_string(NextDeviceNumber++);
    std::string path = Take(umockdev_testbed_add_device(
        Bed, "usb", name, nullptr,
        // sysfs attributes
        "idVendor", product ? "04d8" : "1234", "idProduct", product ? product : "5678", "bcdDevice",
        "0100", "product", model, "bDeviceClass", "02", "busnum", "1", "devnum",
        deviceNumber.c_str(), nullptr,
        // udev properties
        "DEVTYPE", "usb_device", nullptr));
    Devices.push_back(path);
    return path;
}

std::string TTestbed::AddInterface(const std::string& device, const char* name)
{
    std::string path =
        Take(umockdev_testbed_add_device(Bed, "usb", name, device.c_str(),
                                         // sysfs attributes
                                         "bInterfaceClass", "02", "bInterfaceNumber", "00", nullptr,
                                         // udev properties
                                         "DEVTYPE", "usb_interface", nullptr));
    Devices.push_back(path);
    return path;
}

// The tty goes in as a device record with a node name and a dev attribute: that is what makes
// umockdev back /dev/<name> with a pseudo-terminal.
void TTestbed::AddTty(const std::string& parent, const char* name)
{
    const std::string devpath = parent.substr(std::strlen("/sys")) + "/tty/" + name;
    // ttyACM<n> is character device 166:<n>; umockdev tells the ttys apart by it.
    const std::string minor = std::to_string(TtysAdded++);
    const std::string record = "P: " + devpath + "\nN: " + name +
                               "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" + name +
                               "\nE: MAJOR=166\nE: MINOR=" + minor + "\nA: dev=166:" + minor + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(Bed, record.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("umockdev could not add the tty: " + message);
    }
    Nodes.push_back(std::string("/dev/") + name);
    Devices.push_back(parent + "/tty/" + name);
}

void EnsurePreloaded(char** argv)
{
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr)
        return;
    std::string value = PreloadLibrary;
    if (preload != nullptr && *preload != '\0')
        value += std::string(":") + preload;
    setenv("LD_PRELOAD", value.c_str(), 1);
    // A sanitizer build refuses to start when another library is preloaded ahead of its runtime.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions =
        std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "verify_asan_link_order=0";
    setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
    execv("/proc/self/exe", argv);
    throw std::runtime_error(std::string("cannot re-execute under ") + PreloadLibrary + ": " +
                             std::strerror(errno));
}
