#pragma once

#include "tools/serversim/simoptions.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The server's side of the serial link: answers the tool's probe, wake, identification, link
// check and framed requests byte by byte, from a memory image, and misbehaves on request.
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
    enum class TState : std::uint8_t {
        Wake,
        Probe,
        Ident2,
        Ident3,
        IdentChars,
        Link1,
        Link2,
        Header,
        Body,
        Check,
        Poll
    };
    using TClock = std::chrono::steady_clock;

    void Handle(std::uint8_t byte, TClock::time_point arrived);
    void Dispatch(std::uint8_t byte);
    void HandleFrameByte(std::uint8_t byte);
    void Reset();
    void Answer(std::uint8_t byte);
    bool Flush(int fd); // false when stopped while waiting or the write failed
    int StopToolSending(int fd);
    void StallUntilStop(int peer);

    const TSimOptions Options;
    const TClock::duration ByteTime;
    int StopFd = -1;
    std::function<void()> OnStall;

    // Protocol state, touched by the serving thread only.
    TState State = TState::Wake;
    bool FirstProbe = true;
    std::size_t IdentIndex = 0;
    std::string Frame; // header, request bytes, checksum as received
    std::size_t RequestLength = 0;
    int ReplyCount = 0;
    int Block = -1;
    bool Muted = false;  // the current frame goes unanswered
    bool Faulty = false; // the current frame's reply is spoilt on purpose
    bool HangUpNow = false;
    std::string ReplyData; // reply checksum then data bytes, clocked out by the poll bytes
    std::size_t PollIndex = 0;
    TClock::time_point InFree{}, OutFree{}; // when each direction of the modelled line is free
    std::vector<std::pair<TClock::time_point, std::uint8_t>> Pending;

    mutable std::mutex Lock; // guards the observations below
    std::vector<std::string> SeenRequests;
    std::vector<int> SeenBlocks;
    bool SeenShutdown = false;
    bool SeenHangUp = false;
    std::string Seen;
};
