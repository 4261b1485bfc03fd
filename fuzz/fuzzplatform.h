#pragma once

#include "fuzz/fuzzserver.h"
#include "serial/serialplatform.h"

#include <string>

// A serial platform wired straight to a TFuzzServer: a write hands the bytes to the server and
// queues its answers; a read takes what is queued and, when that is too little, ends at once as
// a read that timed out. So a run costs no waiting at all, whatever the server does.
class TFuzzPlatform final : public TSerialPlatform
{
public:
    explicit TFuzzPlatform(TFuzzServer& server) : Server(server) {}

    bool IsOpen() const override { return Opened; }
    std::int32_t Open(const std::string& deviceName) override;
    void Close() override;
    std::int32_t SetQueueSizes(std::int32_t, std::int32_t) override { return Gone(); }
    std::int32_t GetLineSettings(TLineSettings& settings) override;
    std::int32_t SetLineSettings(const TLineSettings& settings) override;
    std::int32_t GetTimeouts(TCommTimeouts& timeouts) override;
    std::int32_t SetTimeouts(const TCommTimeouts& timeouts) override;
    std::int32_t Purge(std::uint32_t purgeFlags) override;
    std::int32_t StartRead(void* buffer, std::int32_t length) override;
    bool ReadPending() const override { return ReadIsPending; }
    std::int32_t FinishRead(std::int32_t& transferred) override;
    std::int32_t StartWrite(const void* buffer, std::int32_t length) override;
    bool WritePending() const override { return false; }
    std::int32_t FinishWrite(std::int32_t& transferred) override;
    void CancelWrites() override {} // no call here ever waits
    std::int32_t ClearCommError(std::uint32_t* errors, std::int32_t* inputCount) override;
    bool ErrorStateBlocks() const override { return false; }
    std::int32_t GetModemStatus(std::uint32_t& status) override;
    std::int32_t SetCommMask(std::uint32_t) override { return Gone(); }
    std::int32_t WaitCommEvent(std::uint32_t& events) override;
    std::string SystemMessage(std::int32_t code) const override;
    TComErrorKind ErrorKind(std::int32_t code) const override
    {
        return code == DeviceLost ? ekDeviceGone : SystemComErrorKind(code);
    }
    std::int32_t SaveProcessPriority() override { return 0; }
    void SetProcessPriority(TPriorityClass) override {}
    void RestoreProcessPriority(std::int32_t) override {}
    std::int64_t CurrentThreadId() const override { return 1; }
    void SetThreadPriority(std::int64_t, TThreadPriority) override {}

    static constexpr std::int32_t DeviceLost = 5; // EIO
    static constexpr std::int32_t NotOpen = 9;    // EBADF

private:
    std::int32_t Gone() const; // the error every call gets on an unplugged or closed device

    TFuzzServer& Server;
    bool Opened = false;
    TLineSettings Settings;
    TCommTimeouts Timeouts;
    std::string Input;
    bool ReadIsPending = false;
    std::int32_t ReadDone = 0;
};
