#pragma once

#include "tools/serversim/serversim.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// A pseudo-terminal served by a TServerSim on a thread of its own: the tool opens SlaveName()
// as its serial device. The simulator keeps a slave descriptor of its own open, so the tool may
// close and reopen the device without the master seeing a hang-up; when the simulator hangs up
// (or HangUp() is called) both sides are closed and the device is gone.
class TSimPty
{
public:
    // onEnd, if given, runs on the serving thread when serving ends by itself (hang-up).
    explicit TSimPty(TSimOptions options = {}, std::function<void()> onEnd = {});
    ~TSimPty(); // stops the simulator and joins its thread
    TSimPty(const TSimPty&) = delete;
    TSimPty& operator=(const TSimPty&) = delete;

    const std::string& SlaveName() const { return Name; }
    TServerSim& Server() { return Sim; }
    void HangUp(); // stop serving and close the pseudo-terminal, like unplugging the server

private:
    void CloseAll();

    TServerSim Sim;
    int Master = -1;
    int Slave = -1;
    std::string Name;
    std::function<void()> OnEnd;
    std::atomic<bool> Stopping{false};
    std::thread Thread; // last: started when everything above exists
};
