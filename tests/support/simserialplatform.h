#pragma once

#include "serial/serialplatform.h"
#include "tests/support/simclock.h"
#include "tests/support/simline.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

// The tool's end of a TSimLine, as a serial platform in simulated time. A transfer never blocks:
// a read takes the answer bytes that arrive before its deadline and moves the clock to the last
// of them (or to the deadline when too few come); a write the device does not take moves the
// clock to the write's deadline, or ends at the instant CancelWrites is called. Unplugging the
// line makes every later call fail as a vanished device does (EIO).
//
// A wait with no limit that nothing would ever end is not waited for: it returns at once and is
// counted in Hangs, since the real port would hang there.
class TSimSerialPlatform final : public TSerialPlatform
{
public:
    TSimSerialPlatform(TSimLine& line, TSimClock& clock) : Line(line), ClockRef(clock) {}

    int Hangs() const { return HangCount.load(); }

    // Once the line's fault has struck, the first wait that would run its course holds the
    // calling thread, for real, until CancelWrites: a Back or a close (both cancel writes)
    // arrives while the worker waits there. With writesOnly, only a write's wait holds. Arm it
    // before the worker starts.
    void HoldOnceStruck(bool writesOnly = false)
    {
        HoldArmed = true;
        HoldWritesOnly = writesOnly;
    }
    bool Holding() const { return IsHolding.load(); }
    // Called on the holding thread once Holding() holds, before it waits: a test serving an
    // event loop posts itself a wake-up there, since the hold comes with no event of its own.
    // Set it before the worker starts.
    std::function<void()> OnHold;
    std::string LastOpenedName() const { return OpenedName; } // worker thread's view

    // ---- TSerialPlatform ----------------------------------------------------------------------
    bool IsOpen() const override { return Opened; }
    std::int32_t Open(const std::string& deviceName) override;
    void Close() override;
    std::int32_t SetQueueSizes(std::int32_t input, std::int32_t output) override;
    std::int32_t GetLineSettings(TLineSettings& settings) override;
    std::int32_t SetLineSettings(const TLineSettings& settings) override;
    std::int32_t GetTimeouts(TCommTimeouts& timeouts) override;
    std::int32_t SetTimeouts(const TCommTimeouts& timeouts) override;
    std::int32_t Purge(std::uint32_t purgeFlags) override;
    std::int32_t StartRead(void* buffer, std::int32_t length) override;
    bool ReadPending() const override { return ReadIsPending; }
    std::int32_t FinishRead(std::int32_t& transferred) override;
    std::int32_t StartWrite(const void* buffer, std::int32_t length) override;
    bool WritePending() const override { return WriteIsPending; }
    std::int32_t FinishWrite(std::int32_t& transferred) override;
    void CancelWrites() override;
    std::int32_t ClearCommError(std::uint32_t* errors, std::int32_t* inputCount) override;
    bool ErrorStateBlocks() const override { return false; }
    std::int32_t GetModemStatus(std::uint32_t& status) override;
    std::int32_t SetCommMask(std::uint32_t mask) override;
    std::int32_t WaitCommEvent(std::uint32_t& events) override;
    std::string SystemMessage(std::int32_t code) const override;
    TComErrorKind ErrorKind(std::int32_t code) const override;
    std::int32_t SaveProcessPriority() override { return 0; }
    void SetProcessPriority(TPriorityClass) override {}
    void RestoreProcessPriority(std::int32_t) override {}
    std::int64_t CurrentThreadId() const override { return 1; }
    void SetThreadPriority(std::int64_t, TThreadPriority) override {}

private:
    // 0 while the device is there; EBADF closed, EIO unplugged since the open.
    std::int32_t Usable() const;
    TClock::TInstant DeadlineAfterMs(std::int64_t ms) const;
    void HoldIfStruck(bool inWrite);

    TSimLine& Line;
    TSimClock& ClockRef;
    bool Opened = false;
    std::uint64_t Plug = 0;
    std::string OpenedName;
    TLineSettings Settings;
    TCommTimeouts Timeouts;
    std::atomic<bool> Cancelled{false};
    std::atomic<int> HangCount{0};

    bool HoldArmed = false;
    bool HoldWritesOnly = false;
    bool HoldDone = false;
    std::atomic<bool> IsHolding{false};
    std::mutex HoldLock;
    std::condition_variable HoldCond;

    std::uint8_t* ReadBuffer = nullptr;
    std::int32_t ReadLength = 0;
    std::int32_t ReadDone = 0;
    bool ReadIsPending = false;
    TClock::TInstant ReadDeadline = TClock::TInstant::max();

    std::int32_t WriteLength = 0;
    std::int32_t WriteDone = 0;
    bool WriteIsPending = false;
    TClock::TInstant WriteDeadline = TClock::TInstant::max();
};
