#pragma once

#include <cstdint>
#include <mutex>
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
    TwoPorts,     // two servers, each with a tty: ttyACM0 at 1-1, ttyACM1 at 1-2
};

// A umockdev test bed holding the USB devices of a layout. The ttys of the layout (if any) are
// /dev/ttyACM0, /dev/ttyACM1, ..., each backed by a pseudo-terminal whose master side Master()
// returns. Every USB device gets the next device number on bus 1, as the kernel numbers them,
// so that a server plugged in again at the same place is told apart from the one before. The
// process must run under umockdev's preload library (see EnsurePreloaded), which also makes the
// test bed visible to every program it starts. The test bed's folder is removed on destruction.
class TTestbed
{
public:
    explicit TTestbed(TDeviceLayout layout);
    ~TTestbed();
    TTestbed(const TTestbed&) = delete;
    TTestbed& operator=(const TTestbed&) = delete;

    bool HasTty() const { return TtyCount() > 0; }
    std::size_t TtyCount() const
    {
        std::lock_guard guard(Lock);
        return Nodes.size();
    }
    // The pseudo-terminal's master side of tty index; owned by umockdev, never close it.
    int Master(std::size_t index = 0) const;
    std::string SlavePath(std::size_t index = 0) const; // the real /dev/pts/N behind the node
    void AttachIoctl(UMockdevIoctlBase* handler, std::size_t index = 0);
    // Takes the servers away as an unplug does: the master sides are closed, so that the
    // program's open descriptors hang up, and the USB devices leave the test bed.
    void Unplug();
    // After Unplug: plugs one server in again at 1-1, as the Server layout holds it, under the
    // next device number and with the next ttyACM<n>.
    void PlugServer();

private:
    std::string AddUsbDevice(const char* name, const char* product, const char* model);
    std::string AddInterface(const std::string& device, const char* name);
    void AddTty(const std::string& parent, const char* name);

    UMockdevTestbed* Bed;
    // A serving thread unplugs on a hang-up while the main thread may still be setting up the
    // other ttys or plugging a server in: every public call holds this (Unplug and PlugServer
    // call the others with it held).
    mutable std::recursive_mutex Lock;
    std::vector<std::string> Nodes;   // "/dev/ttyACM0", ...; empty when the layout has no tty
    std::vector<std::string> Devices; // the sysfs paths of everything added, in order
    unsigned NextDeviceNumber = 2;    // the root hub has 1
    unsigned TtysAdded = 0;           // ttyACM<n> and its minor number n
};

// Re-executes the program under umockdev's preload library unless it already runs under it.
// umockdev resolves its own /sys paths through the preload library, so the test bed needs it.
void EnsurePreloaded(char** argv);
