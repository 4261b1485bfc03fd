#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

// Which USB devices the test bed holds.
enum class TDeviceLayout : std::uint8_t {
    Server,       // the server (04d8:fe88, revision 0100) with its interface and ttyACM0
    NoServer,     // only an unrelated USB device: no matching device at all
    OtherProduct, // a device of the same vendor with product fe89, with a ttyACM0
    TwoServers,   // two matching devices; the first in listing order has no tty, the second has
};

// A umockdev test bed holding the USB devices of a layout. The tty of the layout (if any) is
// /dev/ttyACM0, backed by a pseudo-terminal whose master side Master() returns. The process must
// run under umockdev's preload library (see EnsurePreloaded), which also makes the test bed
// visible to every program it starts. The test bed's folder is removed on destruction.
class TTestbed
{
public:
    explicit TTestbed(TDeviceLayout layout);
    ~TTestbed();
    TTestbed(const TTestbed&) = delete;
    TTestbed& operator=(const TTestbed&) = delete;

    bool HasTty() const { return !Node.empty(); }
    const std::string& TtyNode() const { return Node; }
    int Master() const; // the pseudo-terminal's master side; owned by umockdev, never close it
    std::string SlavePath() const; // the real /dev/pts/N behind the tty node
    void AttachIoctl(UMockdevIoctlBase* handler);
    // Takes the server away as an unplug does: the master side is closed, so that the program's
    // open descriptor hangs up, and the USB devices leave the test bed.
    void Unplug();

private:
    std::string AddUsbDevice(const char* name, const char* product, const char* model);
    std::string AddInterface(const std::string& device, const char* name);
    void AddTty(const std::string& parent, const char* name);

    UMockdevTestbed* Bed;
    std::string Node;                 // "/dev/ttyACM0", or empty when the layout has no tty
    std::vector<std::string> Devices; // the top-level USB devices' sysfs paths
};

// Re-executes the program under umockdev's preload library unless it already runs under it.
// umockdev resolves its own /sys paths through the preload library, so the test bed needs it.
void EnsurePreloaded(char** argv);
