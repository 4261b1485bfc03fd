#pragma once

#include "protocol/servermodel.h"
#include "tools/serversim/simoptions.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The server's side of the serial link on a descriptor, in real time: the server model answers
// the tool's probe, wake, identification, link check and framed requests byte by byte, from a
// memory image, and misbehaves on request; this drives it from the descriptor's bytes and sends
// each answer at the instant the model gives.
//
// Serve() works on any open descriptor, typically the master side of a pseudo-terminal whose
// slave the tool opens. It returns on Stop() (from any thread), on hang-up of the peer (POLLHUP
// or EIO with no data, as when no slave is open) or when a HangUp misbehaviour fires; the owner
// of the descriptor then closes it, which is what makes the tool see the device vanish.
class TServerSim
{
public:
    explicit TServerSim(TSimOptions options);
    ~TServerSim();
    TServerSim(const TServerSim&) = delete;
    TServerSim& operator=(const TServerSim&) = delete;

    void Serve(int fd);
    void Stop(); // thread-safe and async-signal-safe
    // Runs on the serving thread when the StallAfter misbehaviour fires; set before Serve.
    void SetOnStall(std::function<void()> notice) { OnStall = std::move(notice); }

    // ---- What the simulator saw (thread-safe copies) -----------------------------------------
    std::vector<std::string> Requests() const; // each accepted or refused frame: header..checksum
    std::vector<int> BlocksServed() const;     // blocks whose good reply was sent in full
    bool ShutdownSeen() const;                 // an acknowledged shutdown frame
    bool HungUp() const;                       // Serve ended by the HangUp misbehaviour
    std::string ReceivedBytes() const;         // every byte received, in order

private:
    using TClock = std::chrono::steady_clock;

    void Take(std::uint8_t byte, TClock::time_point arrived, bool& hangUp, bool& stall);
    bool Flush(int fd); // false when stopped while waiting or the write failed
    int StopToolSending(int fd);
    void StallUntilStop(int peer);

    int StopFd = -1;
    std::function<void()> OnStall;

    // The protocol is the model's; the serving thread alone drives it, and copies what it saw
    // into the observations below after each byte.
    TServerModel Model;
    TClock::time_point Epoch; // the model's time zero
    std::vector<TServerModel::TAnswer> Pending;

    mutable std::mutex Lock; // guards the observations below
    std::vector<std::string> SeenRequests;
    std::vector<int> SeenBlocks;
    bool SeenShutdown = false;
    bool SeenHangUp = false;
    std::string Seen;
};
