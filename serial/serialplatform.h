#pragma once

#include "serial/comerror.h"
#include "serial/comtypes.h"

#include <cstdint>
#include <memory>
#include <string>

// The line settings the port overlays on the device's own: the fields of the system's device
// control block that the component touches. Flags uses the Win32 DCB bit layout (see DcbFlag).
struct TLineSettings
{
    std::uint32_t BaudRate = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    std::uint32_t Flags = 0;
    std::uint8_t XonChar = 17;
    std::uint8_t XoffChar = 19;
    std::uint8_t ErrorChar = 0;
    std::uint8_t EofChar = 0;
    std::uint8_t EvtChar = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;

    bool operator==(const TLineSettings&) const = default;
};

namespace DcbFlag {
inline constexpr std::uint32_t Binary = 0x1;
inline constexpr std::uint32_t Parity = 0x2;
inline constexpr std::uint32_t OutxCtsFlow = 0x4;
inline constexpr std::uint32_t OutxDsrFlow = 0x8;
inline constexpr std::uint32_t DtrControlMask = 0x30;
inline constexpr std::uint32_t DtrControlShift = 4;
inline constexpr std::uint32_t DsrSensitivity = 0x40;
inline constexpr std::uint32_t TXContinueOnXoff = 0x80;
inline constexpr std::uint32_t OutX = 0x100;
inline constexpr std::uint32_t InX = 0x200;
inline constexpr std::uint32_t ErrorChar = 0x400;
inline constexpr std::uint32_t Null = 0x800;
inline constexpr std::uint32_t RtsControlMask = 0x3000;
inline constexpr std::uint32_t RtsControlShift = 12;
inline constexpr std::uint32_t AbortOnError = 0x4000;
} // namespace DcbFlag

// The five timeouts in milliseconds, with the Win32 meaning: a read ends after
// ReadMultiplier x length + ReadConstant, or when ReadInterval passes between two bytes; 0 turns
// a limit off, all 0 means no limit. ReadInterval -1 (all bits set) with both read totals 0 makes
// a read return at once with what is there.
struct TCommTimeouts
{
    std::int32_t ReadInterval = 0;
    std::int32_t ReadMultiplier = 0;
    std::int32_t ReadConstant = 0;
    std::int32_t WriteMultiplier = 0;
    std::int32_t WriteConstant = 0;

    bool operator==(const TCommTimeouts&) const = default;
};

namespace PurgeFlag {
inline constexpr std::uint32_t TxAbort = 0x1;
inline constexpr std::uint32_t RxAbort = 0x2;
inline constexpr std::uint32_t TxClear = 0x4;
inline constexpr std::uint32_t RxClear = 0x8;
} // namespace PurgeFlag

// The platform layer under the port: one device, opened exclusively. Every operation that can
// fail returns the system error code (0 on success); the port turns a code into EComError with
// the text from SystemMessage. All calls come from the thread that uses the port, except
// WaitCommEvent (the event thread), SetCommMask(0) (which also ends a pending WaitCommEvent) and
// CancelWrites (any thread).
class TSerialPlatform
{
public:
    virtual ~TSerialPlatform() = default;

    virtual bool IsOpen() const = 0;
    virtual std::int32_t Open(const std::string& deviceName) = 0;
    virtual void Close() = 0; // never fails; ends pending transfers and comm-event waits

    virtual std::int32_t SetQueueSizes(std::int32_t input, std::int32_t output) = 0;
    virtual std::int32_t GetLineSettings(TLineSettings& settings) = 0;
    virtual std::int32_t SetLineSettings(const TLineSettings& settings) = 0;
    virtual std::int32_t GetTimeouts(TCommTimeouts& timeouts) = 0;
    virtual std::int32_t SetTimeouts(const TCommTimeouts& timeouts) = 0;
    virtual std::int32_t Purge(std::uint32_t purgeFlags) = 0;

    // Starts a transfer. The buffer stays valid until the transfer is finished. A transfer that
    // cannot end at once stays pending until Finish collects it under the configured timeouts.
    virtual std::int32_t StartRead(void* buffer, std::int32_t length) = 0;
    virtual bool ReadPending() const = 0;
    virtual std::int32_t FinishRead(std::int32_t& transferred) = 0;
    virtual std::int32_t StartWrite(const void* buffer, std::int32_t length) = 0;
    virtual bool WritePending() const = 0;
    virtual std::int32_t FinishWrite(std::int32_t& transferred) = 0;
    // Ends at once a FinishWrite waiting on another thread, and makes every later FinishWrite
    // that would have to wait return at once too, until the next Open: each returns the
    // system's code for a cancelled operation, with the bytes transferred so far. Also when the
    // device takes no more bytes. Reads are not touched: their timeouts end them. The only call
    // that may come from any thread at any time (open or closed, also during Open or Close on
    // the port's thread); it never fails.
    virtual void CancelWrites() = 0;

    // Line error bits (CE_*) since the last call, and the count of waiting input bytes; either
    // pointer may be null when the caller does not want it.
    virtual std::int32_t ClearCommError(std::uint32_t* errors, std::int32_t* inputCount) = 0;
    // True when the device blocks after a line error until ClearCommError is called, so the
    // port must run its line-error check after every transfer even without a handler.
    virtual bool ErrorStateBlocks() const = 0;
    virtual std::int32_t GetModemStatus(std::uint32_t& status) = 0; // MS_* bits

    virtual std::int32_t SetCommMask(std::uint32_t mask) = 0; // EV_* bits
    // Waits for one of the masked events; events 0 when the wait was ended by SetCommMask or
    // Close.
    virtual std::int32_t WaitCommEvent(std::uint32_t& events) = 0;

    virtual std::string SystemMessage(std::int32_t code) const = 0;
    // The portable kind of a code from this platform (SystemComErrorKind for the system's own).
    // A wait that fails with ekDeviceGone makes the port close itself.
    virtual TComErrorKind ErrorKind(std::int32_t code) const = 0;

    // Process priority: Save gives a value for Restore; a refusal of the system is ignored.
    virtual std::int32_t SaveProcessPriority() = 0;
    virtual void SetProcessPriority(TPriorityClass priorityClass) = 0;
    virtual void RestoreProcessPriority(std::int32_t saved) = 0;
    // Priority of the calling thread, and of another thread by its id from CurrentThreadId.
    virtual std::int64_t CurrentThreadId() const = 0;
    virtual void SetThreadPriority(std::int64_t threadId, TThreadPriority priority) = 0;
};

// The platform of the system the program runs on.
std::unique_ptr<TSerialPlatform> CreateSystemSerialPlatform();
