#include "tests/support/simserialplatform.h"

#include "serial/comerror.h"

#include <cerrno>
#include <cstring>

std::int32_t TSimSerialPlatform::Usable() const
{
    if (!Opened)
        return EBADF;
    return Line.Gone(Plug) ? EIO : 0;
}

TClock::TInstant TSimSerialPlatform::DeadlineAfterMs(std::int64_t ms) const
{
    return ClockRef.Now() + std::chrono::milliseconds(ms);
}

void TSimSerialPlatform::CancelWrites()
{
    {
        std::lock_guard guard(HoldLock);
        Cancelled.store(true);
    }
    HoldCond.notify_all();
}

void TSimSerialPlatform::HoldIfStruck(bool inWrite)
{
    if (!HoldArmed || HoldDone || (HoldWritesOnly && !inWrite) || !Line.Struck())
        return;
    HoldDone = true;
    std::unique_lock guard(HoldLock);
    IsHolding.store(true);
    if (OnHold)
        OnHold();
    HoldCond.wait(guard, [this] { return Cancelled.load(); });
    IsHolding.store(false);
}

std::int32_t TSimSerialPlatform::Open(const std::string& deviceName)
{
    if (Opened)
        return EBUSY;
    const std::int32_t code = Line.Attach(deviceName, Plug);
    if (code != 0)
        return code;
    Opened = true;
    OpenedName = deviceName;
    Cancelled.store(false);
    ReadIsPending = WriteIsPending = false;
    return 0;
}

void TSimSerialPlatform::Close()
{
    if (!Opened)
        return;
    if (!Line.Gone(Plug))
        Line.Detach();
    Opened = false;
    ReadIsPending = WriteIsPending = false;
}

std::int32_t TSimSerialPlatform::SetQueueSizes(std::int32_t, std::int32_t)
{
    return Usable();
}

std::int32_t TSimSerialPlatform::GetLineSettings(TLineSettings& settings)
{
    if (const std::int32_t code = Usable())
        return code;
    settings = Settings;
    return 0;
}

std::int32_t TSimSerialPlatform::SetLineSettings(const TLineSettings& settings)
{
    if (const std::int32_t code = Usable())
        return code;
    Settings = settings;
    return 0;
}

std::int32_t TSimSerialPlatform::GetTimeouts(TCommTimeouts& timeouts)
{
    if (const std::int32_t code = Usable())
        return code;
    timeouts = Timeouts;
    return 0;
}

std::int32_t TSimSerialPlatform::SetTimeouts(const TCommTimeouts& timeouts)
{
    if (const std::int32_t code = Usable())
        return code;
    Timeouts = timeouts;
    return 0;
}

std::int32_t TSimSerialPlatform::Purge(std::uint32_t purgeFlags)
{
    if (const std::int32_t code = Usable())
        return code;
    if (purgeFlags & PurgeFlag::RxClear)
        Line.DropArrived(ClockRef.Now());
    if (purgeFlags & PurgeFlag::TxAbort)
        WriteIsPending = false;
    return 0;
}

std::int32_t TSimSerialPlatform::StartRead(void* buffer, std::int32_t length)
{
    if (const std::int32_t code = Usable())
        return code;
    ReadBuffer = static_cast<std::uint8_t*>(buffer);
    ReadLength = length;
    ReadDone = 0;
    const std::int64_t total =
        static_cast<std::int64_t>(Timeouts.ReadMultiplier) * length + Timeouts.ReadConstant;
    if (Timeouts.ReadInterval == -1 && total == 0) {
        // Return at once with what is there.
        const TClock::TInstant now = ClockRef.Now();
        while (ReadDone < ReadLength && Line.Arrived(now) > 0)
            ReadBuffer[ReadDone++] = Line.Take();
        ReadIsPending = false;
        return 0;
    }
    ReadDeadline = total > 0 ? DeadlineAfterMs(total) : TClock::TInstant::max();
    ReadIsPending = true;
    return 0;
}

std::int32_t TSimSerialPlatform::FinishRead(std::int32_t& transferred)
{
    std::int32_t code = 0;
    const std::int64_t interval = Timeouts.ReadInterval > 0 ? Timeouts.ReadInterval : 0;
    TClock::TInstant intervalDeadline = TClock::TInstant::max();
    while (ReadDone < ReadLength) {
        if ((code = Usable()) != 0)
            break;
        // The bytes that arrive in time before the clock's next event are taken in one go.
        TClock::TInstant now = ClockRef.Now();
        const std::size_t batch =
            Line.TakeInTime(ReadBuffer + ReadDone, static_cast<std::size_t>(ReadLength - ReadDone),
                            ClockRef.NextEvent(), ReadDeadline, std::chrono::milliseconds(interval),
                            intervalDeadline, now);
        if (batch > 0) {
            ReadDone += static_cast<std::int32_t>(batch);
            ClockRef.AdvanceTo(now);
            continue;
        }
        const TClock::TInstant deadline = std::min(ReadDeadline, intervalDeadline);
        const TClock::TInstant next = Line.NextArrival();
        if (next > deadline) {
            HoldIfStruck(false);
            if (deadline == TClock::TInstant::max()) {
                // Nothing will ever come and nothing ends the wait: a real port hangs here.
                ++HangCount;
                break;
            }
            ClockRef.AdvanceTo(deadline);
            code = Usable(); // an unplug on the way ends the read as a hang-up
            break;
        }
        ClockRef.AdvanceTo(next);
        if ((code = Usable()) != 0)
            break;
        if (Line.Arrived(ClockRef.Now()) == 0)
            continue; // an event on the way dropped it
        ReadBuffer[ReadDone++] = Line.Take();
        if (interval > 0)
            intervalDeadline = DeadlineAfterMs(interval);
    }
    ReadIsPending = false;
    transferred = ReadDone;
    return code;
}

std::int32_t TSimSerialPlatform::StartWrite(const void* buffer, std::int32_t length)
{
    if (const std::int32_t code = Usable())
        return code;
    WriteLength = length;
    const std::size_t taken = Line.Offer(static_cast<const std::uint8_t*>(buffer),
                                         static_cast<std::size_t>(length), ClockRef.Now());
    // Bytes handed to a device that vanished on one of them were written all the same; its end
    // shows at the next call.
    WriteDone = Line.Gone(Plug) ? length : static_cast<std::int32_t>(taken);
    WriteIsPending = WriteDone < length;
    if (WriteIsPending) {
        const std::int64_t total =
            static_cast<std::int64_t>(Timeouts.WriteMultiplier) * length + Timeouts.WriteConstant;
        WriteDeadline = total > 0 ? DeadlineAfterMs(total) : TClock::TInstant::max();
    }
    return 0;
}

std::int32_t TSimSerialPlatform::FinishWrite(std::int32_t& transferred)
{
    std::int32_t code = 0;
    if (WriteDone < WriteLength) {
        HoldIfStruck(true);
        // The device takes nothing more: the wait ends at its deadline, at an unplug, or at once
        // when the writes were cancelled.
        const auto stop = [this] { return Cancelled.load() || Line.Gone(Plug); };
        if (Cancelled.load()) {
            code = ECANCELED;
        } else {
            if (WriteDeadline != TClock::TInstant::max()) {
                ClockRef.AdvanceTo(WriteDeadline, stop);
            } else {
                // No limit: only an event can end the wait.
                while (!stop()) {
                    const TClock::TInstant next = ClockRef.NextEvent();
                    if (next == TClock::TInstant::max()) {
                        ++HangCount;
                        break;
                    }
                    ClockRef.AdvanceTo(next, stop);
                }
            }
            if (Line.Gone(Plug))
                code = EIO;
            else if (Cancelled.load())
                code = ECANCELED;
        }
    }
    WriteIsPending = false;
    transferred = WriteDone;
    return code;
}

std::int32_t TSimSerialPlatform::ClearCommError(std::uint32_t* errors, std::int32_t* inputCount)
{
    if (const std::int32_t code = Usable())
        return code;
    if (errors)
        *errors = 0;
    if (inputCount)
        *inputCount = static_cast<std::int32_t>(Line.Arrived(ClockRef.Now()));
    return 0;
}

std::int32_t TSimSerialPlatform::GetModemStatus(std::uint32_t& status)
{
    status = 0;
    return Usable();
}

std::int32_t TSimSerialPlatform::SetCommMask(std::uint32_t)
{
    return Usable();
}

std::int32_t TSimSerialPlatform::WaitCommEvent(std::uint32_t& events)
{
    // Comm events are not simulated; the worker assigns no handler.
    events = 0;
    return EINVAL;
}

std::string TSimSerialPlatform::SystemMessage(std::int32_t code) const
{
    return std::strerror(code);
}

TComErrorKind TSimSerialPlatform::ErrorKind(std::int32_t code) const
{
    return SystemComErrorKind(code);
}
