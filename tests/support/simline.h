#pragma once

#include "protocol/servermodel.h"
#include "tests/support/faultwalk.h"
#include "tests/support/simclock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A server on its USB serial line in simulated time: the server model behind a fault walk, its
// answers in flight to the tool, each due at a simulated instant, and the device's plug state.
// The tool's side is TSimSerialPlatform; discovery sees the line through TSimLister.
//
// The test sets the line up and changes it while the worker is parked; the schedule hooks run
// on the worker thread inside the platform's calls. Records are safe to read from any thread.
class TSimLine
{
public:
    using TDuration = TClock::TDuration;
    using TInstant = TClock::TInstant;

    // A server paced as the real one's 9600 baud line.
    static TSimOptions Paced(TSimOptions options = {});

    explicit TSimLine(TSimClock& clock, TSimOptions options = Paced(),
                      TFaultKind kind = TFaultKind::None,
                      TFaultPosition position = TFaultPosition::Probe);
    TSimLine(const TSimLine&) = delete;
    TSimLine& operator=(const TSimLine&) = delete;

    // ---- The test's side ----------------------------------------------------------------------
    std::string DeviceName() const; // "/dev/ttySIM<n>"; every plug-in gives a new one
    bool Plugged() const;
    bool Struck() const;
    void Heal(); // Rearm(TFaultKind::None, ...)
    // A fresh server with a new fault; after an unplug, plugged in again under a new name.
    void Rearm(TFaultKind kind, TFaultPosition position);
    void Unplug();     // the device vanishes, as when its cable is pulled
    void Replug();     // a fresh server under a new name (healthy when it struck)
    bool Held() const; // a port has the device open
    TSimClock& Clock() { return ClockRef; }

    // Schedule hooks; set them while no port uses the line.
    // Extra delay of the index-th answer byte since the last Rearm (answers keep their order).
    std::function<TDuration(std::size_t index)> AnswerDelay;
    // Runs after the server took the tool's count-th byte since the last Rearm (1-based).
    std::function<void(std::size_t count)> AfterToolByte;

    // What crossed the line since construction or the last Rearm.
    std::string Offered() const;    // every byte the tool wrote, taken by the device or not
    std::string FromTool() const;   // every byte the server side received
    std::string ToTool() const;     // every byte put on the way to the tool
    std::string ReadByTool() const; // every byte the tool read
    std::vector<std::string> Requests() const; // frames the server took, header to checksum
    std::vector<int> BlocksServed() const;
    bool ShutdownSeen() const;

    // ---- The platform's side (the worker thread) ----------------------------------------------
    // Opens the device by name: 0, or the system code (ENOENT, EBUSY); gives the plug count.
    std::int32_t Attach(const std::string& name, std::uint64_t& plug);
    void Detach();
    bool Gone(std::uint64_t plug) const;     // unplugged since that plug-in
    std::size_t Arrived(TInstant now) const; // answer bytes there by now
    TInstant NextArrival() const;            // TInstant::max() when none is on its way
    std::uint8_t Take();                     // the first answer byte; only when one arrived
    // Takes, in order and in one go, up to most answer bytes that each arrive before `before`
    // and by the earlier of readDeadline and intervalDeadline; a byte taken moves now to its
    // arrival (if later) and, when interval is not zero, intervalDeadline to now + interval.
    // Gives how many it took. The caller moves the clock to now afterwards, which is the same as
    // taking the bytes one at a time when no clock event comes before `before`.
    std::size_t TakeInTime(std::uint8_t* out, std::size_t most, TInstant before,
                           TInstant readDeadline, TDuration interval, TInstant& intervalDeadline,
                           TInstant& now);
    void DropArrived(TInstant now);
    // The tool's bytes go out at now; gives how many the device took (fewer once it stalls).
    std::size_t Offer(const std::uint8_t* bytes, std::size_t count, TInstant now);

private:
    void PlugIn();                                // under Lock
    void Deliver(std::uint8_t byte, TInstant at); // under Lock

    TSimClock& ClockRef;
    const TSimOptions Options;

    mutable std::mutex Lock; // guards everything below
    TFaultKind Kind;
    TFaultPosition Position;
    std::unique_ptr<TServerModel> Model;
    std::unique_ptr<TFaultWalk> Walk;
    bool IsPlugged = false;
    bool Stalled = false;
    bool IsHeld = false;
    std::uint64_t Plug = 0;
    std::string Name;
    std::deque<std::pair<TInstant, std::uint8_t>> InFlight;
    TInstant LastAt{};
    std::size_t AnswerCount = 0;
    std::size_t TakenCount = 0;
    std::string OfferedBytes, Received, Delivered, Read;
};
