// srvdiag-gadgetserver: inside the usbvm machine, plugs the server in as a real USB device that
// the kernel's cdc_acm driver binds, serves the server simulator on the gadget's device side
// (/dev/ttyGS0), and starts a program that finds the server through the real udev database and
// opens its real /dev/ttyACM node. What the host side sends on the bus is read from usbmon.

#include "tools/serversim/serversim.h"
#include "tools/usbvm/gadget.h"
#include "tools/usbvm/gsoptions.h"
#include "tools/usbvm/usbmonlines.h"
#include "tools/virtualserver/childprocess.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr auto BindLimit = 60s; // enumeration and udev under emulation on a busy machine

// The bus as usbmon's text interface shows it, read on a thread of its own from construction
// until Stop.
class TBusMonitor
{
public:
    explicit TBusMonitor(bool wanted)
    {
        if (!wanted)
            return;
        // Bus 0 is every bus; the machine has only the dummy controller's.
        Fd = open("/sys/kernel/debug/usb/usbmon/0u", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (Fd < 0)
            throw std::runtime_error(std::string("cannot open usbmon (debugfs mounted, usbmon "
                                                 "loaded?): ") +
                                     std::strerror(errno));
        Thread = std::thread([this] { Read(); });
    }
    ~TBusMonitor() { Stop(); }
    TBusMonitor(const TBusMonitor&) = delete;
    TBusMonitor& operator=(const TBusMonitor&) = delete;

    void Stop()
    {
        Stopping.store(true);
        if (Thread.joinable())
            Thread.join();
        if (Fd >= 0)
            close(Fd);
        Fd = -1;
    }
    // After Stop. Without the line codings, the record has the vocabulary of the umockdev line
    // recorder's.
    bool Write(const std::string& path, bool codings) const
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const std::string& line : Lines.Events())
            if (codings || line.find(" coding ") == std::string::npos)
                out << line << '\n';
        out.close();
        return static_cast<bool>(out);
    }

private:
    void Read()
    {
        std::string pending;
        char buffer[4096];
        while (!Stopping.load()) {
            const ssize_t n = read(Fd, buffer, sizeof buffer);
            if (n <= 0) {
                std::this_thread::sleep_for(2ms);
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                Lines.Feed(pending.substr(0, end));
                pending.erase(0, end + 1);
            }
        }
    }

    int Fd = -1;
    std::atomic<bool> Stopping{false};
    TUsbmonLines Lines; // the reading thread's until Stop
    std::thread Thread;
};

// The gadget's device side, raw: its line discipline would otherwise echo and translate.
int OpenDeviceSide(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// The simulator serving the device side from construction to destruction. A hang-up unplugs the
// gadget, and with a replug a second simulator without the hang-up serves the new plug.
class TServing
{
public:
    TServing(const TGadgetServerOptions& options, TGadget& gadget, std::mutex& gadgetLock, int fd)
        : First(options.Sim), Second(WithoutHangUp(options.Sim))
    {
        Thread = std::thread([=, this, &gadget, &gadgetLock] {
            First.Serve(fd);
            close(fd);
            if (!First.HungUp())
                return;
            try {
                std::lock_guard guard(gadgetLock);
                gadget.Unplug();
            } catch (const std::exception& e) {
                std::cerr << "srvdiag-gadgetserver: unplug: " << e.what() << "\n";
                return;
            }
            if (!options.Replug || !Wait(options.ReplugDelay))
                return;
            int again = -1;
            try {
                std::lock_guard guard(gadgetLock);
                gadget.WaitForHostTtyGone(BindLimit);
                again = OpenDeviceSide(gadget.DeviceTty());
                gadget.Plug();
                if (gadget.WaitForHostTty(BindLimit).empty())
                    std::cerr << "srvdiag-gadgetserver: the replugged server did not bind\n";
            } catch (const std::exception& e) {
                std::cerr << "srvdiag-gadgetserver: replug: " << e.what() << "\n";
            }
            if (again >= 0) {
                Second.Serve(again);
                close(again);
            }
        });
    }
    ~TServing()
    {
        Stopping.store(true);
        First.Stop();
        Second.Stop();
        if (Thread.joinable())
            Thread.join();
    }
    TServing(const TServing&) = delete;
    TServing& operator=(const TServing&) = delete;

private:
    static TSimOptions WithoutHangUp(TSimOptions options)
    {
        if (options.Fault == TBlockFault::HangUp)
            options.Fault = TBlockFault::None;
        options.HangUpAfter = 0;
        return options;
    }
    bool Wait(std::chrono::milliseconds delay) const
    {
        const auto end = std::chrono::steady_clock::now() + delay;
        while (std::chrono::steady_clock::now() < end)
            if (Stopping.load())
                return false;
            else
                std::this_thread::sleep_for(5ms);
        return !Stopping.load();
    }

    std::atomic<bool> Stopping{false};
    TServerSim First;
    TServerSim Second;
    std::thread Thread;
};

int Run(const TGadgetServerOptions& options, const sigset_t& signals)
{
    TGadget gadget;
    std::mutex gadgetLock;
    gadget.Unplug(); // left plugged by an earlier run that was killed
    gadget.WaitForHostTtyGone(BindLimit);
    TBusMonitor monitor(!options.LinesFile.empty() || !options.BusFile.empty());
    const int fd = OpenDeviceSide(gadget.DeviceTty());
    gadget.Plug();
    const std::string node = gadget.WaitForHostTty(BindLimit);
    if (node.empty()) {
        close(fd);
        throw std::runtime_error("the host side made no tty for the server (is cdc_acm loaded?)");
    }
    setenv("SRVDIAG_SERVER_TTY", node.c_str(), 1);
    int status = 0;
    {
        TServing serving(options, gadget, gadgetLock, fd);
        status = RunChild(options.Command, signals);
    }
    {
        std::lock_guard guard(gadgetLock);
        gadget.Unplug();
        gadget.WaitForHostTtyGone(BindLimit);
    }
    monitor.Stop();
    for (const auto& [path, codings] :
         {std::pair{options.LinesFile, false}, std::pair{options.BusFile, true}}) {
        if (!path.empty() && !monitor.Write(path, codings)) {
            std::cerr << "srvdiag-gadgetserver: cannot write " << path << "\n";
            if (status == 0)
                status = 1;
        }
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    TGadgetServerOptions options;
    const std::string error = ParseGadgetServerOptions(argc, argv, options);
    if (options.Help) {
        std::cout << GadgetServerUsage();
        return 0;
    }
    if (!error.empty()) {
        std::cerr << "srvdiag-gadgetserver: " << error << "\n" << GadgetServerUsage();
        return 64;
    }
    try {
        const sigset_t signals = BlockChildSignals();
        return Run(options, signals);
    } catch (const std::exception& e) {
        std::cerr << "srvdiag-gadgetserver: " << e.what() << "\n";
        return 70;
    }
}
