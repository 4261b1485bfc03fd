#include "tools/virtualserver/testbed.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <umockdev.h>
#include <unistd.h>

namespace {

constexpr const char* PreloadLibrary = "libumockdev-preload.so.0";
constexpr const char* TtyName = "ttyACM0";

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
        }
    } catch (...) {
        g_object_unref(Bed);
        throw;
    }
    // The started program must not inherit the master side: an unplug closes it.
    if (HasTty())
        fcntl(Master(), F_SETFD, FD_CLOEXEC);
}

TTestbed::~TTestbed()
{
    g_object_unref(Bed);
}

int TTestbed::Master() const
{
    return HasTty() ? umockdev_testbed_get_dev_fd(Bed, Node.c_str()) : -1;
}

std::string TTestbed::SlavePath() const
{
    if (!HasTty())
        return "";
    std::unique_ptr<gchar, TGFree> root(umockdev_testbed_get_root_dir(Bed));
    const std::string link = std::string(root.get()) + Node;
    char target[PATH_MAX] = {};
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "";
}

void TTestbed::AttachIoctl(UMockdevIoctlBase* handler)
{
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(Bed, Node.c_str(), handler, &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("umockdev could not attach the line handler: " + message);
    }
}

void TTestbed::Unplug()
{
    const int master = Master();
    if (master >= 0) {
        // umockdev owns the descriptor and closes it itself at the end, so its number must stay
        // valid: /dev/null takes its place, which closes the master side.
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            dup3(null, master, O_CLOEXEC);
            close(null);
        }
    }
    for (const std::string& device : Devices)
        umockdev_testbed_remove_device(Bed, device.c_str());
    Devices.clear();
}

// A USB device of the server's vendor (04d8) with the given product id, or an unrelated device
// (1234:5678) when product is null.
std::string TTestbed::AddUsbDevice(const char* name, const char* product, const char* model)
{
    return Take(umockdev_testbed_add_device(Bed, "usb", name, nullptr,
                                            // sysfs attributes
                                            "idVendor", product ? "04d8" : "1234", "idProduct",
                                            product ? product : "5678", "bcdDevice", "0100",
                                            "product", model, "bDeviceClass", "02", nullptr,
                                            // udev properties
                                            "DEVTYPE", "usb_device", nullptr));
}

std::string TTestbed::AddInterface(const std::string& device, const char* name)
{
    return Take(umockdev_testbed_add_device(Bed, "usb", name, device.c_str(),
                                            // sysfs attributes
                                            "bInterfaceClass", "02", "bInterfaceNumber", "00",
                                            nullptr,
                                            // udev properties
                                            "DEVTYPE", "usb_interface", nullptr));
}

// The tty goes in as a device record with a node name and a dev attribute: that is what makes
// umockdev back /dev/<name> with a pseudo-terminal.
void TTestbed::AddTty(const std::string& parent, const char* name)
{
    const std::string devpath = parent.substr(std::strlen("/sys")) + "/tty/" + name;
    const std::string record = "P: " + devpath + "\nN: " + name +
                               "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" + name +
                               "\nE: MAJOR=166\nE: MINOR=0\nA: dev=166:0\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(Bed, record.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("umockdev could not add the tty: " + message);
    }
    Node = std::string("/dev/") + name;
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
