#pragma once

#include "serial/comport.h"
#include "tests/support/listlister.h"
#include "tests/support/testhost.h"
#include "tools/serversim/simpty.h"
#include "worker/devicelister.h"
#include "worker/serthread.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The server as a USB device whose friendly name names the simulator's pseudo-terminal.
inline TUsbDevice SimDevice(const TSimPty& sim)
{
    return {"USB\\VID_04D8&PID_FE88&REV_0100", "Sim server (" + sim.SlaveName().substr(5) + ")"};
}

// The trace of a connect attempt with a well-behaved simulator, up to the link check. Spelled
// out here on purpose rather than built with protocol/'s trace writer: the worker tests compare
// the worker's trace with this independent reading of the format.
inline std::string GoodConnectTrace(const std::string& device, const std::string& identification)
{
    std::string trace = "USB" + device + "\r<0\r>0\r<0\r>0\r<128\r>17\r<0\r>85\r<165\r>240\r";
    for (std::size_t i = 1; i < identification.size(); ++i)
        trace += "<85\r>" + std::to_string(static_cast<unsigned char>(identification[i])) + "\r";
    return trace;
}

// A simulator on a pseudo-terminal and a worker whose thread stays parked, so that the test's
// thread can call the stages one by one on the host's port. Nobody serves the worker's
// synchronized calls here, so stages that make them (the read-out) are not called this way.
struct TStageRig
{
    explicit TStageRig(TSimOptions options = {})
        : Sim(std::move(options)), Lister({SimDevice(Sim)}),
          Worker(Host, MakeSerialStages(std::make_unique<TListLister>(Lister)))
    {
        Host.Attach(Worker);
        // The first park call is queued before anything else happens: closing the rig then
        // finds it waiting (the worker's wait-for-end does not notice calls queued later).
        Host.WaitForWakes(1);
    }
    ~TStageRig() { Host.Close(); }

    TComPort& Port() { return Host.SerIF(); }

    // Discovery and bring-up, as the connect stage runs them.
    void BringUp()
    {
        Worker.FindServer(Lister);
        Worker.BringUpLink();
    }

    TSimPty Sim;
    TListLister Lister;
    TTestHost Host;
    TSerThread Worker;
};
