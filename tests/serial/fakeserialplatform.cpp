#include "fakeserialplatform.h"

#include <algorithm>
#include <cstring>

void TFakeSerialPlatform::FailCall(const std::string& call, std::int32_t code)
{
    std::lock_guard lock(Lock);
    if (code == 0)
        Failures.erase(call);
    else
        Failures[call] = code;
}

void TFakeSerialPlatform::FeedInput(const std::string& bytes)
{
    std::lock_guard lock(Lock);
    Input += bytes;
}

void TFakeSerialPlatform::RaiseEvents(std::uint32_t events)
{
    std::lock_guard lock(Lock);
    PendingEvents |= events;
    EventArrived.notify_all();
}

void TFakeSerialPlatform::SetErrorBits(std::uint32_t bits)
{
    std::lock_guard lock(Lock);
    ErrorBits = bits;
}

void TFakeSerialPlatform::SetModemBits(std::uint32_t bits)
{
    std::lock_guard lock(Lock);
    ModemBits = bits;
}

void TFakeSerialPlatform::SetWriteAccepts(std::int32_t bytes)
{
    std::lock_guard lock(Lock);
    WriteAccepts = bytes;
}

std::vector<std::string> TFakeSerialPlatform::Calls() const
{
    std::lock_guard lock(Lock);
    return CallLog;
}

std::vector<TLineSettings> TFakeSerialPlatform::SetSettings() const
{
    std::lock_guard lock(Lock);
    return SettingsLog;
}

std::vector<std::string> TFakeSerialPlatform::LineChanges() const
{
    std::lock_guard lock(Lock);
    return LineLog;
}

std::vector<TCommTimeouts> TFakeSerialPlatform::SetTimeoutsLog() const
{
    std::lock_guard lock(Lock);
    return TimeoutLog;
}

std::string TFakeSerialPlatform::Output() const
{
    std::lock_guard lock(Lock);
    return Written;
}

std::vector<TPriorityClass> TFakeSerialPlatform::ProcessPriorities() const
{
    std::lock_guard lock(Lock);
    return PriorityLog;
}

std::int32_t TFakeSerialPlatform::RestoredPriority() const
{
    std::lock_guard lock(Lock);
    return Restored;
}

std::uint32_t TFakeSerialPlatform::Mask() const
{
    std::lock_guard lock(Lock);
    return EventMask;
}

int TFakeSerialPlatform::WaitsEnded() const
{
    std::lock_guard lock(Lock);
    return WaitsEndedCount;
}

void TFakeSerialPlatform::NoteChange()
{
    std::lock_guard guard(ChangeLock);
    ++ChangeCount;
    Changed.notify_all();
}

bool TFakeSerialPlatform::WaitForChange(const std::function<bool()>& done,
                                        std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::uint64_t seen = 0;
        {
            std::lock_guard guard(ChangeLock);
            seen = ChangeCount;
        }
        // done() is looked at without the lock: it may call the platform. A change after the
        // count was taken is not missed.
        if (done())
            return true;
        std::unique_lock guard(ChangeLock);
        if (!Changed.wait_until(guard, deadline, [&] { return ChangeCount != seen; }))
            return done();
    }
}

std::int32_t TFakeSerialPlatform::Record(const std::string& call)
{
    // Under Lock: a waiter that looks at the platform's state sees it once the call is done.
    NoteChange();
    CallLog.push_back(call);
    const auto name = call.substr(0, call.find(' '));
    const auto it = Failures.find(name);
    return it == Failures.end() ? 0 : it->second;
}

bool TFakeSerialPlatform::IsOpen() const
{
    std::lock_guard lock(Lock);
    return Opened;
}

std::int32_t TFakeSerialPlatform::Open(const std::string& deviceName)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("Open " + deviceName))
        return code;
    Opened = true;
    Current = DeviceSettings;
    return 0;
}

void TFakeSerialPlatform::Close()
{
    std::lock_guard lock(Lock);
    if (!Opened)
        return;
    NoteChange();
    CallLog.push_back("Close");
    Opened = false;
    ReadIsPending = false;
    WriteIsPending = false;
    ++WakeCount;
    EventArrived.notify_all();
}

std::int32_t TFakeSerialPlatform::SetQueueSizes(std::int32_t input, std::int32_t output)
{
    std::lock_guard lock(Lock);
    return Record("SetQueueSizes " + std::to_string(input) + " " + std::to_string(output));
}

std::int32_t TFakeSerialPlatform::GetLineSettings(TLineSettings& settings)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("GetLineSettings"))
        return code;
    settings = Current;
    return 0;
}

std::int32_t TFakeSerialPlatform::SetLineSettings(const TLineSettings& settings)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("SetLineSettings"))
        return code;
    SettingsLog.push_back(settings);
    const auto dtr = [](const TLineSettings& s) {
        return (s.Flags & DcbFlag::DtrControlMask) >> 4;
    };
    const auto rts = [](const TLineSettings& s) {
        return (s.Flags & DcbFlag::RtsControlMask) >> 12;
    };
    if (dtr(settings) != dtr(Current) || SettingsLog.size() == 1)
        LineLog.push_back("DTR " + std::to_string(dtr(settings)));
    if (rts(settings) != rts(Current) || SettingsLog.size() == 1)
        LineLog.push_back("RTS " + std::to_string(rts(settings)));
    Current = settings;
    return 0;
}

std::int32_t TFakeSerialPlatform::GetTimeouts(TCommTimeouts& timeouts)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("GetTimeouts"))
        return code;
    timeouts = Timeouts;
    return 0;
}

std::int32_t TFakeSerialPlatform::SetTimeouts(const TCommTimeouts& timeouts)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("SetTimeouts"))
        return code;
    TimeoutLog.push_back(timeouts);
    Timeouts = timeouts;
    return 0;
}

std::int32_t TFakeSerialPlatform::Purge(std::uint32_t purgeFlags)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("Purge " + std::to_string(purgeFlags)))
        return code;
    if (purgeFlags & PurgeFlag::RxClear)
        Input.clear();
    return 0;
}

void TFakeSerialPlatform::TakeInput()
{
    const auto n = std::min<std::size_t>(Input.size(), std::size_t(ReadLength - ReadDone));
    std::memcpy(ReadBuffer + ReadDone, Input.data(), n);
    Input.erase(0, n);
    ReadDone += static_cast<std::int32_t>(n);
}

std::int32_t TFakeSerialPlatform::StartRead(void* buffer, std::int32_t length)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("StartRead " + std::to_string(length)))
        return code;
    ReadBuffer = static_cast<std::uint8_t*>(buffer);
    ReadLength = length;
    ReadDone = 0;
    TakeInput();
    ReadIsPending = ReadDone < ReadLength;
    return 0;
}

bool TFakeSerialPlatform::ReadPending() const
{
    std::lock_guard lock(Lock);
    return ReadIsPending;
}

std::int32_t TFakeSerialPlatform::FinishRead(std::int32_t& transferred)
{
    std::lock_guard lock(Lock);
    ReadIsPending = false;
    if (const auto code = Record("FinishRead"))
        return code;
    TakeInput();
    transferred = ReadDone;
    return 0;
}

std::int32_t TFakeSerialPlatform::StartWrite(const void* buffer, std::int32_t length)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("StartWrite " + std::to_string(length)))
        return code;
    Written.append(static_cast<const char*>(buffer), static_cast<std::size_t>(length));
    WriteLength = length;
    WriteIsPending = WriteAccepts >= 0;
    return 0;
}

bool TFakeSerialPlatform::WritePending() const
{
    std::lock_guard lock(Lock);
    return WriteIsPending;
}

std::int32_t TFakeSerialPlatform::FinishWrite(std::int32_t& transferred)
{
    std::lock_guard lock(Lock);
    WriteIsPending = false;
    if (const auto code = Record("FinishWrite"))
        return code;
    transferred = WriteAccepts >= 0 ? std::min(WriteAccepts, WriteLength) : WriteLength;
    return 0;
}

std::int32_t TFakeSerialPlatform::ClearCommError(std::uint32_t* errors, std::int32_t* inputCount)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record(std::string("ClearCommError") + (errors ? " errors" : "") +
                                 (inputCount ? " count" : "")))
        return code;
    if (!Opened)
        return 6;
    if (errors) {
        *errors = ErrorBits;
        ErrorBits = 0;
    }
    if (inputCount)
        *inputCount = static_cast<std::int32_t>(Input.size());
    return 0;
}

std::int32_t TFakeSerialPlatform::GetModemStatus(std::uint32_t& status)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("GetModemStatus"))
        return code;
    status = ModemBits;
    return 0;
}

std::int32_t TFakeSerialPlatform::SetCommMask(std::uint32_t mask)
{
    std::lock_guard lock(Lock);
    if (const auto code = Record("SetCommMask " + std::to_string(mask)))
        return code;
    EventMask = mask;
    ++WakeCount;
    EventArrived.notify_all();
    return 0;
}

std::int32_t TFakeSerialPlatform::WaitCommEvent(std::uint32_t& events)
{
    std::unique_lock lock(Lock);
    NoteChange(); // the event thread comes here after each pass
    if (const auto it = Failures.find("WaitCommEvent"); it != Failures.end()) {
        ++WaitsEndedCount;
        return it->second;
    }
    // An empty mask ends a wait at once, as on the system: a stop that cleared the mask just
    // before the event thread came here must not leave it waiting for ever.
    const auto wake = WakeCount;
    EventArrived.wait(
        lock, [&] { return EventMask == 0 || (PendingEvents & EventMask) || WakeCount != wake; });
    events = PendingEvents & EventMask;
    PendingEvents &= ~events;
    ++WaitsEndedCount;
    return 0;
}

std::string TFakeSerialPlatform::SystemMessage(std::int32_t code) const
{
    return "System error " + std::to_string(code);
}

std::int32_t TFakeSerialPlatform::SaveProcessPriority()
{
    std::lock_guard lock(Lock);
    CallLog.push_back("SaveProcessPriority");
    return 32;
}

void TFakeSerialPlatform::SetProcessPriority(TPriorityClass priorityClass)
{
    std::lock_guard lock(Lock);
    CallLog.push_back("SetProcessPriority");
    PriorityLog.push_back(priorityClass);
}

void TFakeSerialPlatform::RestoreProcessPriority(std::int32_t saved)
{
    std::lock_guard lock(Lock);
    CallLog.push_back("RestoreProcessPriority");
    Restored = saved;
}
