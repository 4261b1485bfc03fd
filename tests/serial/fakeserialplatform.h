#pragma once

#include "serial/serialplatform.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A serial platform that records every call and its arguments, serves input from a queue and
// can be told to fail any call with a system code. Thread-safe: the event thread waits on it.
class TFakeSerialPlatform final : public TSerialPlatform
{
public:
    // ---- What the test sets up ----------------------------------------------------------------
    void FailCall(const std::string& call, std::int32_t code); // code 0 removes the failure
    void FeedInput(const std::string& bytes);
    void RaiseEvents(std::uint32_t events); // ends a pending WaitCommEvent with these events
    void SetErrorBits(std::uint32_t bits);
    void SetModemBits(std::uint32_t bits);
    void SetWriteAccepts(std::int32_t bytes); // a pending write ends with this many; -1 all
    TLineSettings DeviceSettings;             // what GetLineSettings reports before any set

    // ---- What the test inspects ---------------------------------------------------------------
    std::vector<std::string> Calls() const;         // "Open COM2", "Purge 10", ...
    std::vector<TLineSettings> SetSettings() const; // the record after each SetLineSettings
    std::vector<std::string> LineChanges() const;   // "DTR 0", "RTS 1" in the order applied
    std::vector<TCommTimeouts> SetTimeoutsLog() const;
    std::string Output() const;
    std::vector<TPriorityClass> ProcessPriorities() const;
    std::int32_t RestoredPriority() const;
    std::uint32_t Mask() const;
    int WaitsEnded() const;

    // ---- Waiting for the event thread ---------------------------------------------------------
    // Every recorded call, Close and every wait for comm events (which the event thread starts
    // after each pass) count as a change, and so does NoteChange (for changes made elsewhere,
    // such as a call posted to the main thread). WaitForChange looks at done() again after each
    // change until it holds; the limit only ends a test that would otherwise hang.
    void NoteChange();
    bool WaitForChange(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(30));

    // ---- TSerialPlatform ----------------------------------------------------------------------
    bool IsOpen() const override;
    std::int32_t Open(const std::string& deviceName) override;
    void Close() override;
    std::int32_t SetQueueSizes(std::int32_t input, std::int32_t output) override;
    std::int32_t GetLineSettings(TLineSettings& settings) override;
    std::int32_t SetLineSettings(const TLineSettings& settings) override;
    std::int32_t GetTimeouts(TCommTimeouts& timeouts) override;
    std::int32_t SetTimeouts(const TCommTimeouts& timeouts) override;
    std::int32_t Purge(std::uint32_t purgeFlags) override;
    std::int32_t StartRead(void* buffer, std::int32_t length) override;
    bool ReadPending() const override;
    std::int32_t FinishRead(std::int32_t& transferred) override;
    std::int32_t StartWrite(const void* buffer, std::int32_t length) override;
    bool WritePending() const override;
    std::int32_t FinishWrite(std::int32_t& transferred) override;
    void CancelWrites() override {} // no call here ever waits
    std::int32_t ClearCommError(std::uint32_t* errors, std::int32_t* inputCount) override;
    bool ErrorStateBlocks() const override { return false; }
    std::int32_t GetModemStatus(std::uint32_t& status) override;
    std::int32_t SetCommMask(std::uint32_t mask) override;
    std::int32_t WaitCommEvent(std::uint32_t& events) override;
    std::string SystemMessage(std::int32_t code) const override;
    TComErrorKind ErrorKind(std::int32_t code) const override
    {
        return code == 5 ? ekDeviceGone : ekOther;
    }
    std::int32_t SaveProcessPriority() override;
    void SetProcessPriority(TPriorityClass priorityClass) override;
    void RestoreProcessPriority(std::int32_t saved) override;
    std::int64_t CurrentThreadId() const override { return 1; }
    void SetThreadPriority(std::int64_t, TThreadPriority) override {}

private:
    std::int32_t Record(const std::string& call); // logs the call; gives its injected failure
    void TakeInput();

    mutable std::mutex Lock;
    std::condition_variable EventArrived;
    std::mutex ChangeLock; // taken inside Lock, never the other way round
    std::condition_variable Changed;
    std::uint64_t ChangeCount = 0;
    std::map<std::string, std::int32_t> Failures;
    std::vector<std::string> CallLog;
    std::vector<TLineSettings> SettingsLog;
    std::vector<std::string> LineLog;
    std::vector<TCommTimeouts> TimeoutLog;
    std::vector<TPriorityClass> PriorityLog;
    bool Opened = false;
    TLineSettings Current;
    TCommTimeouts Timeouts;
    std::string Input;
    std::string Written;
    std::uint8_t* ReadBuffer = nullptr;
    std::int32_t ReadLength = 0;
    std::int32_t ReadDone = 0;
    bool ReadIsPending = false;
    std::int32_t WriteLength = 0;
    bool WriteIsPending = false;
    std::int32_t WriteAccepts = -1;
    std::uint32_t ErrorBits = 0;
    std::uint32_t ModemBits = 0;
    std::uint32_t EventMask = 0;
    std::uint32_t PendingEvents = 0;
    std::uint64_t WakeCount = 0;
    int WaitsEndedCount = 0;
    std::int32_t Restored = -100;
};
