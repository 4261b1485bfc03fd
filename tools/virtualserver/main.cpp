// srvdiag-virtualserver: starts a program in a umockdev test bed that holds a virtual server on
// USB, so that the program finds it through libudev and opens it as /dev/ttyACM0, exactly as a
// plugged-in server. The server simulator answers on the pseudo-terminal behind the node.

#include "tools/serversim/realtime.h"
#include "tools/serversim/serversim.h"
#include "tools/virtualserver/childprocess.h"
#include "tools/virtualserver/linerecorder.h"
#include "tools/virtualserver/testbed.h"
#include "tools/virtualserver/vsoptions.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <fstream>
#include <glib-object.h>
#include <iostream>
#include <memory>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// A descriptor of the pseudo-terminal's slave held open for the whole run: without it the master
// side hangs up whenever the program closes the device, and the simulator would stop serving
// between two connect attempts.
class TSlaveKeeper
{
public:
    explicit TSlaveKeeper(const std::string& path)
        : Fd(path.empty() ? -1 : open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        termios tio{};
        if (Fd >= 0 && tcgetattr(Fd, &tio) == 0) {
            // Raw until the program sets the line up: a cooked slave echoes the server's bytes.
            cfmakeraw(&tio);
            tcsetattr(Fd, TCSANOW, &tio);
        }
    }
    ~TSlaveKeeper()
    {
        if (Fd >= 0)
            close(Fd);
    }
    TSlaveKeeper(const TSlaveKeeper&) = delete;
    TSlaveKeeper& operator=(const TSlaveKeeper&) = delete;

private:
    int Fd;
};

// The simulator serving the master side of one of the test bed's ttys on a thread of its own,
// from construction to destruction. When the simulator hangs up, the server is unplugged.
class TServing
{
public:
    TServing(const TSimOptions& options, TTestbed& bed, std::size_t index) : Sim(options)
    {
        // On standard output, where a test that watches the program sees it in order.
        Sim.SetOnStall([] {
            std::cout << "srvdiag-virtualserver: the server takes no more bytes\n" << std::flush;
        });
        Thread = std::thread([this, &bed, master = bed.Master(index)] {
            Sim.Serve(master);
            if (Sim.HungUp())
                bed.Unplug();
        });
    }
    ~TServing()
    {
        Sim.Stop();
        if (Thread.joinable())
            Thread.join();
    }
    TServing(const TServing&) = delete;
    TServing& operator=(const TServing&) = delete;

    std::string Received() const { return Sim.ReceivedBytes(); }

private:
    TServerSim Sim;
    std::thread Thread;
};

// The second server of --two-ports: another identification and the memory image inverted, so
// that a read-out shows which of the two was read.
TSimOptions SecondServer(const TSimOptions& first)
{
    TSimOptions second;
    second.Identification.replace(11, 6, "SECOND");
    second.Memory = first.Memory;
    for (char& byte : second.Memory)
        byte = static_cast<char>(~static_cast<unsigned char>(byte));
    return second;
}

// What serves the servers plugged in at one time: for each tty its line handler, a descriptor
// of its slave and a simulator, the first tty's lines recorded in recorder.
class TPlugged
{
public:
    TPlugged(TTestbed& bed, const std::vector<TSimOptions>& servers, TLineRecorder& recorder)
    {
        for (std::size_t i = 0; i < bed.TtyCount() && i < servers.size(); ++i) {
            // Every tty needs the line handler: a pseudo-terminal refuses DTR and RTS.
            if (i > 0)
                Spare.push_back(std::make_unique<TLineRecorder>());
            UMockdevIoctlBase* handler = NewLineHandler(i == 0 ? recorder : *Spare.back());
            bed.AttachIoctl(handler, i);
            g_object_unref(handler); // the test bed holds its own reference
            Keepers.push_back(std::make_unique<TSlaveKeeper>(bed.SlavePath(i)));
            Servings.push_back(std::make_unique<TServing>(servers[i], bed, i));
        }
    }
    ~TPlugged()
    {
        Servings.clear(); // the simulators first, while their descriptors stay open
        Keepers.clear();
    }
    TPlugged(const TPlugged&) = delete;
    TPlugged& operator=(const TPlugged&) = delete;

    // What the server on the first tty received so far.
    std::string Received() const { return Servings.empty() ? "" : Servings.front()->Received(); }

private:
    std::vector<std::unique_ptr<TLineRecorder>> Spare; // the other ttys' lines, not written
    std::vector<std::unique_ptr<TSlaveKeeper>> Keepers;
    std::vector<std::unique_ptr<TServing>> Servings;
};

int Run(const TVirtualServerOptions& options, const sigset_t& signals)
{
    TLineRecorder recorder; // outlives the test bed, whose handler refers to it
    int status = 0;
    {
        TTestbed bed(options.Layout);
        std::vector<TSimOptions> servers{options.Sim};
        if (options.Layout == TDeviceLayout::TwoPorts)
            servers.push_back(SecondServer(options.Sim));
        auto plugged = std::make_unique<TPlugged>(bed, servers, recorder);
        std::size_t next = 0;
        const auto replug = [&] {
            plugged.reset();
            bed.Unplug();
            if (next < options.Then.size()) {
                bed.PlugServer();
                plugged = std::make_unique<TPlugged>(
                    bed, std::vector<TSimOptions>{options.Then[next++]}, recorder);
            }
            std::cout << "srvdiag-virtualserver: replugged\n" << std::flush;
        };
        // The servers that follow come in on SIGUSR1: whoever plugs them in needs this process.
        if (!options.Then.empty())
            std::cerr << "srvdiag-virtualserver: process " << getpid() << " waits for SIGUSR1 to "
                      << "unplug the server and plug in the next one (kill -USR1 " << getpid()
                      << "), " << options.Then.size() << " to come\n"
                      << std::flush;
        status = RunChild(options.Command, signals, replug);
        // What the server present at the end received (on --two-ports: the one on ttyACM0).
        const std::string received = plugged ? plugged->Received() : std::string();
        if (!options.ReceivedFile.empty() &&
            !(std::ofstream(options.ReceivedFile, std::ios::binary) << received)) {
            std::cerr << "srvdiag-virtualserver: cannot write " << options.ReceivedFile << "\n";
            if (status == 0)
                status = 1;
        }
    }
    if (!options.LinesFile.empty() && !recorder.Write(options.LinesFile)) {
        std::cerr << "srvdiag-virtualserver: cannot write " << options.LinesFile << "\n";
        if (status == 0)
            status = 1;
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    TVirtualServerOptions options;
    const std::string error = ParseVirtualServerOptions(argc, argv, options);
    if (options.Help) {
        std::cout << VirtualServerUsage();
        return 0;
    }
    if (!error.empty()) {
        std::cerr << "srvdiag-virtualserver: " << error << "\n" << VirtualServerUsage();
        return 64;
    }
    try {
        EnsurePreloaded(argv);
        LockProcessMemory();
        // Every thread that answers the program must keep up with its 50 ms deadlines: the
        // simulators, and umockdev's worker, which every read, write and ioctl of the program on
        // the device passes through. They all start later, from this thread, and inherit its
        // policy; the program itself is started under the ordinary one (RunChild).
        ServeInRealTime();
        const sigset_t signals = BlockChildSignals();
        return Run(options, signals);
    } catch (const std::exception& e) {
        std::cerr << "srvdiag-virtualserver: " << e.what() << "\n";
        return 70;
    }
}
