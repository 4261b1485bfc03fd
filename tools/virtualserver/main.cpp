// srvdiag-virtualserver: starts a program in a umockdev test bed that holds a virtual server on
// USB, so that the program finds it through libudev and opens it as /dev/ttyACM0, exactly as a
// plugged-in server. The server simulator answers on the pseudo-terminal behind the node.

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

// The simulator serving the test bed's master side on a thread of its own, from construction to
// destruction. When the simulator hangs up, the server is unplugged.
class TServing
{
public:
    TServing(const TSimOptions& options, TTestbed& bed) : Sim(options)
    {
        // On standard output, where a test that watches the program sees it in order.
        Sim.SetOnStall([] {
            std::cout << "srvdiag-virtualserver: the server takes no more bytes\n" << std::flush;
        });
        if (bed.HasTty())
            Thread = std::thread([this, &bed] {
                Sim.Serve(bed.Master());
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

int Run(const TVirtualServerOptions& options, const sigset_t& signals)
{
    TLineRecorder recorder; // outlives the test bed, whose handler refers to it
    int status = 0;
    {
        TTestbed bed(options.Layout);
        if (bed.HasTty()) {
            UMockdevIoctlBase* handler = NewLineHandler(recorder);
            bed.AttachIoctl(handler);
            g_object_unref(handler); // the test bed holds its own reference
        }
        TSlaveKeeper keeper(bed.SlavePath());
        TServing serving(options.Sim, bed);
        status = RunChild(options.Command, signals);
        if (!options.ReceivedFile.empty() &&
            !(std::ofstream(options.ReceivedFile, std::ios::binary) << serving.Received())) {
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
        const sigset_t signals = BlockChildSignals();
        return Run(options, signals);
    } catch (const std::exception& e) {
        std::cerr << "srvdiag-virtualserver: " << e.what() << "\n";
        return 70;
    }
}
