#pragma once

#include "tests/support/faultwalk.h"
#include "tools/serversim/serversim.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// A pseudo-terminal whose far side is a healthy server simulator seen through a relay that
// misbehaves once, at one position. The relay follows the protocol from the tool's bytes, so the
// position is found whatever path the tool takes; answers are attributed to the last position
// the tool reached (the tool always waits for the answers before it sends on).
//
// Heal() turns the relay into a plain pass-through in front of a fresh simulator, Rearm() into
// one with a new fault; after a hang-up either plugs in a new pseudo-terminal, so DeviceName()
// changes.
class TFaultLine
{
public:
    TFaultLine(TFaultKind kind, TFaultPosition position, TSimOptions options = {});
    ~TFaultLine();
    TFaultLine(const TFaultLine&) = delete;
    TFaultLine& operator=(const TFaultLine&) = delete;

    std::string DeviceName() const; // "/dev/pts/N"
    bool Struck() const { return StruckFlag.load(); }
    void Heal();                                          // Rearm(TFaultKind::None, ...)
    void Rearm(TFaultKind kind, TFaultPosition position); // a fresh server with a new fault

    // What crossed the line since construction or the last Heal (thread-safe copies).
    std::string FromTool() const; // every byte the server side received
    std::string ToTool() const;   // every byte delivered to the tool, recorded before it is sent

private:
    void PlugIn();      // a new pseudo-terminal
    void StartServer(); // a fresh simulator behind the relay, and the relay thread
    void StopServer();  // ends the relay and the simulator
    void CloseDevice(); // closes the pseudo-terminal: the tool's descriptor hangs up
    void Relay();
    void Deliver(const std::string& bytes);
    static void WriteAll(int fd, const std::string& bytes);

    TFaultKind Kind;
    TFaultPosition Position;
    const TSimOptions Options;

    // The protocol as the tool walks it, and where it misbehaves (relay thread only).
    TFaultWalk Walk{TFaultKind::None, TFaultPosition::Probe};
    bool HungUp = false;
    bool Stalled = false; // the tool's side no longer sends

    std::atomic<bool> StruckFlag{false};
    int Master = -1, Keeper = -1, SimSide = -1, RelaySide = -1, StopFd = -1;
    std::string Name;
    std::unique_ptr<TServerSim> Sim;
    std::thread SimThread;
    std::thread RelayThread;

    mutable std::mutex Lock; // guards the record below and Name
    std::string Received, Delivered;
};
