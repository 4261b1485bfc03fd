#pragma once

#include "tools/serversim/serversim.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// Where in a read-out a misbehaviour strikes: which byte or frame of the tool it answers.
enum class TFaultPosition : std::uint8_t {
    Probe,    // the first 0x00 of a connect attempt
    Wake,     // the first wake byte
    Ident1,   // identification step 1 (0x80)
    Ident2,   // step 2 (0x00)
    Ident3,   // step 3 (0xA5)
    Ident4,   // the first identification character (0x55)
    Ident19,  // the last identification character
    Link1,    // the first link-check byte (the server stays silent)
    Link2,    // the second link-check byte (the server echoes it)
    Shutdown, // the shutdown frame
    Block0,
    Block1,
    Block63,
    Block127,
};

enum class TFaultKind : std::uint8_t {
    None,
    Silence,       // no answer from the position on
    WrongAnswer,   // the answer byte at the position is wrong (or comes where none is due)
    WrongAck,      // the frame checksum byte is acknowledged wrongly
    WrongChecksum, // the reply checksum does not match the data
    ShortReply,    // the last byte of the frame's answer is missing
    HangUp,        // the device vanishes when the position's byte arrives, as an unplug does
    Stall,         // the position's byte is answered, then the device takes no more bytes
};

const char* FaultPositionName(TFaultPosition position);
const char* FaultKindName(TFaultKind kind);
int BlockOf(TFaultPosition position); // 0..127 for the block positions, -1 otherwise

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
    void OnToolByte(std::uint8_t byte);
    bool OnServerByte(std::uint8_t& byte); // false: drop it
    void Strike();
    void ResetWalk();
    void Deliver(const std::string& bytes);
    static void WriteAll(int fd, const std::string& bytes);

    TFaultKind Kind;
    TFaultPosition Position;
    const TSimOptions Options;

    // The protocol as the tool walks it (relay thread only).
    enum class TPhase : std::uint8_t { Start, AfterProbe, Wake, Ident, Link1, Link2, Frames };
    TPhase Phase = TPhase::Start;
    int IdentStep = 0;
    bool InPosition = false; // the tool's last byte was at the fault's position
    std::string Frame;       // bytes of the tool's current frame
    std::size_t FrameLength = 0;
    std::size_t AnswerIndex = 0; // answer bytes of the current frame so far
    bool Muted = false;
    bool Corrupted = false; // the wrong answer has been given
    bool HungUp = false;
    bool StallDue = false; // Stall struck: stop taking bytes once the answer is delivered
    bool Stalled = false;

    std::atomic<bool> StruckFlag{false};
    int Master = -1, Keeper = -1, SimSide = -1, RelaySide = -1, StopFd = -1;
    std::string Name;
    std::unique_ptr<TServerSim> Sim;
    std::thread SimThread;
    std::thread RelayThread;

    mutable std::mutex Lock; // guards the record below and Name
    std::string Received, Delivered;
};
