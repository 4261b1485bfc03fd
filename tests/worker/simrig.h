#pragma once

#include "serial/comport.h"
#include "tests/support/simclock.h"
#include "tests/support/simline.h"
#include "tests/support/simlister.h"
#include "tests/support/simserialplatform.h"
#include "tests/support/testhost.h"
#include "worker/devicelister.h"
#include "worker/serthread.h"

#include <memory>
#include <string>
#include <vector>

// The simulated server as a USB device whose friendly name names the line's device.
inline TUsbDevice SimDevice(const TSimLine& line)
{
    return {"USB\\VID_04D8&PID_FE88&REV_0100", "Sim server (" + line.DeviceName().substr(5) + ")"};
}

// The trace of a connect attempt with a well-behaved server, up to the link check. Spelled out
// here on purpose rather than built with protocol/'s trace writer: the worker tests compare the
// worker's trace with this independent reading of the format.
inline std::string GoodConnectTrace(const std::string& device, const std::string& identification)
{
    std::string trace = "USB" + device + "\r<0\r>0\r<0\r>0\r<128\r>17\r<0\r>85\r<165\r>240\r";
    for (std::size_t i = 1; i < identification.size(); ++i)
        trace += "<85\r>" + std::to_string(static_cast<unsigned char>(identification[i])) + "\r";
    return trace;
}

// A server on a simulated line and a worker whose thread stays parked, so that the test's thread
// calls the stages one by one on the host's port, in simulated time: every wait of the port and
// every pause of bring-up moves the rig's clock, not the wall clock. Unless the options set a
// rate, the server's answers are there the instant a byte is sent, so the bytes of one answer
// (the stray bytes before a probe answer, say) wait together. Nobody serves the worker's
// synchronized calls here, so stages that make them (the read-out) are not called this way.
struct TStageRig
{
    explicit TStageRig(TSimOptions options = {})
        : Line(Clock, std::move(options)), Host("srvdiag.INI", MakePlatform(), Clock),
          Worker(Host, MakeSerialStages(std::make_unique<TSimLister>(Line)))
    {
        Host.Attach(Worker);
        // The first park call is queued before anything else happens: closing the rig then
        // finds it waiting (the worker's wait-for-end does not notice calls queued later).
        Host.WaitForWakes(1);
    }
    ~TStageRig() { Host.Close(); }
    TStageRig(const TStageRig&) = delete;
    TStageRig& operator=(const TStageRig&) = delete;

    TComPort& Port() { return Host.SerIF(); }
    int Hangs() const { return Platform->Hangs(); } // port waits nothing would have ended

    // Discovery and bring-up, as the connect stage runs them.
    void BringUp()
    {
        TSimLister lister(Line);
        Worker.FindServer(lister);
        Worker.BringUpLink();
    }

    TSimClock Clock;
    TSimLine Line;

private:
    TSimSerialPlatform* Platform = nullptr;
    std::unique_ptr<TSerialPlatform> MakePlatform()
    {
        auto platform = std::make_unique<TSimSerialPlatform>(Line, Clock);
        Platform = platform.get();
        return platform;
    }

public:
    TTestHost Host;
    TSerThread Worker;
};
