// The serial platform on Windows: the Win32 communications calls on an overlapped device handle.
// Each transfer direction has a manual-reset completion event (signalled: nothing pending) and
// its own OVERLAPPED record; the event thread waits through a record and auto-reset event of its
// own.
#include "serial/overlappedtransfer_win32.h"
#include "serial/serialplatform.h"
#include "serial/systemmessage_win32.h"
#include "serial/uniquehandle_win32.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <windows.h>

namespace {

std::int32_t LastError()
{
    return static_cast<std::int32_t>(GetLastError());
}

// The comm-event wait of one open device. The event thread may still hold it after the port has
// closed; Close marks it closing and waits until no wait is in progress before the device
// handle goes, so the wait never runs on a closed (or reused) handle.
struct TCommWaiter
{
    HANDLE Device = INVALID_HANDLE_VALUE; // the platform's handle, valid while not Closing
    TUniqueHandle CommEvent;              // auto-reset, the wait record's event
    TUniqueHandle Wake;                   // auto-reset: a new mask or the close
    OVERLAPPED Record{};
    DWORD Mask = 0;

    std::mutex Lock;
    std::condition_variable Left;
    bool Closing = false;
    bool InWait = false;

    void Shut()
    {
        std::unique_lock lock(Lock);
        Closing = true;
        SetEvent(Wake.Get());
        Left.wait(lock, [this] { return !InWait; });
    }
};

DWORD PriorityClassValue(TPriorityClass priorityClass)
{
    switch (priorityClass) {
    case pcIdle:
        return IDLE_PRIORITY_CLASS;
    case pcHigh:
        return HIGH_PRIORITY_CLASS;
    case pcRealTime:
        return REALTIME_PRIORITY_CLASS;
    case pcNormal:
    case pcDefault:
        break;
    }
    return NORMAL_PRIORITY_CLASS;
}

std::uint32_t FlagsFromDcb(const DCB& dcb)
{
    return (dcb.fBinary ? DcbFlag::Binary : 0) | (dcb.fParity ? DcbFlag::Parity : 0) |
           (dcb.fOutxCtsFlow ? DcbFlag::OutxCtsFlow : 0) |
           (dcb.fOutxDsrFlow ? DcbFlag::OutxDsrFlow : 0) |
           (static_cast<std::uint32_t>(dcb.fDtrControl) << DcbFlag::DtrControlShift) |
           (dcb.fDsrSensitivity ? DcbFlag::DsrSensitivity : 0) |
           (dcb.fTXContinueOnXoff ? DcbFlag::TXContinueOnXoff : 0) |
           (dcb.fOutX ? DcbFlag::OutX : 0) | (dcb.fInX ? DcbFlag::InX : 0) |
           (dcb.fErrorChar ? DcbFlag::ErrorChar : 0) | (dcb.fNull ? DcbFlag::Null : 0) |
           (static_cast<std::uint32_t>(dcb.fRtsControl) << DcbFlag::RtsControlShift) |
           (dcb.fAbortOnError ? DcbFlag::AbortOnError : 0);
}

void FlagsToDcb(std::uint32_t flags, DCB& dcb)
{
    dcb.fBinary = (flags & DcbFlag::Binary) != 0;
    dcb.fParity = (flags & DcbFlag::Parity) != 0;
    dcb.fOutxCtsFlow = (flags & DcbFlag::OutxCtsFlow) != 0;
    dcb.fOutxDsrFlow = (flags & DcbFlag::OutxDsrFlow) != 0;
    dcb.fDtrControl = (flags & DcbFlag::DtrControlMask) >> DcbFlag::DtrControlShift;
    dcb.fDsrSensitivity = (flags & DcbFlag::DsrSensitivity) != 0;
    dcb.fTXContinueOnXoff = (flags & DcbFlag::TXContinueOnXoff) != 0;
    dcb.fOutX = (flags & DcbFlag::OutX) != 0;
    dcb.fInX = (flags & DcbFlag::InX) != 0;
    dcb.fErrorChar = (flags & DcbFlag::ErrorChar) != 0;
    dcb.fNull = (flags & DcbFlag::Null) != 0;
    dcb.fRtsControl = (flags & DcbFlag::RtsControlMask) >> DcbFlag::RtsControlShift;
    dcb.fAbortOnError = (flags & DcbFlag::AbortOnError) != 0;
}

// How long closing waits for the system to give back a cancelled transfer. A driver normally
// does so at once; one whose device vanished mid-transfer may never do it.
constexpr DWORD CancelBoundMs = 2000;

// The parts of a cancelled transfer the system never gave back stay allocated for the rest of
// the process, deliberately: its driver may still write the record, the event and the bytes,
// and freeing them could let it write into memory reused for something else. It happens only
// with a broken driver, at most twice per open.
void KeepForTheSystem(std::unique_ptr<TTransferParts> parts)
{
    static_cast<void>(parts.release());
}

class TWin32SerialPlatform final : public TSerialPlatform
{
public:
    // The cancel event lives as long as the platform, so another thread may cancel while this
    // one opens or closes the device.
    TWin32SerialPlatform() : CancelWake(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~TWin32SerialPlatform() override { Close(); }

    bool IsOpen() const override { return Device.Valid(); }

    std::int32_t Open(const std::string& deviceName) override
    {
        SetLastError(0);
        ResetEvent(CancelWake.Get()); // a cancel holds until the next open
        auto waiter = std::make_shared<TCommWaiter>();
        waiter->CommEvent.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        if (!waiter->CommEvent.Valid())
            return LastError();
        waiter->Wake.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        if (!waiter->Wake.Valid())
            return LastError();
        TOverlappedTransfer read;
        if (const std::int32_t code = read.Create())
            return code;
        TOverlappedTransfer write;
        if (const std::int32_t code = write.Create())
            return code;
        // Exclusive (no sharing) and overlapped.
        TUniqueHandle device(CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                         nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
        if (!device.Valid())
            return LastError();
        waiter->Device = device.Get();
        Device = std::move(device);
        Read = std::move(read);
        Write = std::move(write);
        DcbKnown = false;
        Opened.store(true);
        std::lock_guard lock(WaiterLock);
        Waiter = std::move(waiter);
        return 0;
    }

    void Close() override
    {
        std::shared_ptr<TCommWaiter> waiter;
        {
            std::lock_guard lock(WaiterLock);
            waiter = std::move(Waiter);
        }
        if (waiter)
            waiter->Shut();
        if (Device.Valid()) {
            KeepForTheSystem(Read.Cancel(Device.Get(), CancelBoundMs));
            KeepForTheSystem(Write.Cancel(Device.Get(), CancelBoundMs));
        }
        Opened.store(false);
        Device.Reset();
        Write.Reset();
        Read.Reset();
    }

    std::int32_t SetQueueSizes(std::int32_t input, std::int32_t output) override
    {
        if (!SetupComm(Device.Get(), static_cast<DWORD>(input), static_cast<DWORD>(output)))
            return LastError();
        return 0;
    }

    std::int32_t GetLineSettings(TLineSettings& settings) override
    {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(Device.Get(), &dcb))
            return LastError();
        Dcb = dcb;
        DcbKnown = true;
        settings.BaudRate = dcb.BaudRate;
        settings.ByteSize = dcb.ByteSize;
        settings.Parity = dcb.Parity;
        settings.StopBits = dcb.StopBits;
        settings.Flags = FlagsFromDcb(dcb);
        settings.XonChar = static_cast<std::uint8_t>(dcb.XonChar);
        settings.XoffChar = static_cast<std::uint8_t>(dcb.XoffChar);
        settings.ErrorChar = static_cast<std::uint8_t>(dcb.ErrorChar);
        settings.EofChar = static_cast<std::uint8_t>(dcb.EofChar);
        settings.EvtChar = static_cast<std::uint8_t>(dcb.EvtChar);
        settings.XonLim = dcb.XonLim;
        settings.XoffLim = dcb.XoffLim;
        return 0;
    }

    std::int32_t SetLineSettings(const TLineSettings& settings) override
    {
        // The fields the port does not touch keep what the device reported.
        if (!DcbKnown) {
            TLineSettings current;
            if (const std::int32_t code = GetLineSettings(current))
                return code;
        }
        DCB dcb = Dcb;
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = settings.BaudRate;
        dcb.ByteSize = settings.ByteSize;
        dcb.Parity = settings.Parity;
        dcb.StopBits = settings.StopBits;
        FlagsToDcb(settings.Flags, dcb);
        dcb.XonChar = static_cast<char>(settings.XonChar);
        dcb.XoffChar = static_cast<char>(settings.XoffChar);
        dcb.ErrorChar = static_cast<char>(settings.ErrorChar);
        dcb.EofChar = static_cast<char>(settings.EofChar);
        dcb.EvtChar = static_cast<char>(settings.EvtChar);
        dcb.XonLim = settings.XonLim;
        dcb.XoffLim = settings.XoffLim;
        if (!SetCommState(Device.Get(), &dcb))
            return LastError();
        Dcb = dcb;
        return 0;
    }

    std::int32_t GetTimeouts(TCommTimeouts& timeouts) override
    {
        COMMTIMEOUTS t{};
        if (!GetCommTimeouts(Device.Get(), &t))
            return LastError();
        timeouts.ReadInterval = static_cast<std::int32_t>(t.ReadIntervalTimeout);
        timeouts.ReadMultiplier = static_cast<std::int32_t>(t.ReadTotalTimeoutMultiplier);
        timeouts.ReadConstant = static_cast<std::int32_t>(t.ReadTotalTimeoutConstant);
        timeouts.WriteMultiplier = static_cast<std::int32_t>(t.WriteTotalTimeoutMultiplier);
        timeouts.WriteConstant = static_cast<std::int32_t>(t.WriteTotalTimeoutConstant);
        return 0;
    }

    std::int32_t SetTimeouts(const TCommTimeouts& timeouts) override
    {
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = static_cast<DWORD>(timeouts.ReadInterval);
        t.ReadTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.ReadMultiplier);
        t.ReadTotalTimeoutConstant = static_cast<DWORD>(timeouts.ReadConstant);
        t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.WriteMultiplier);
        t.WriteTotalTimeoutConstant = static_cast<DWORD>(timeouts.WriteConstant);
        if (!SetCommTimeouts(Device.Get(), &t))
            return LastError();
        return 0;
    }

    std::int32_t Purge(std::uint32_t flags) override
    {
        if (!PurgeComm(Device.Get(), flags))
            return LastError();
        // Windows ends a pending transfer on an abort flag; Wine does not (the read runs to its
        // timeout, or forever without one). Cancelling it as well ends it on both; on Windows
        // there is nothing left to cancel.
        if ((flags & PurgeFlag::RxAbort) && Read.Pending())
            CancelIoEx(Device.Get(), Read.Record());
        if ((flags & PurgeFlag::TxAbort) && Write.Pending())
            CancelIoEx(Device.Get(), Write.Record());
        return 0;
    }

    std::int32_t StartRead(void* buffer, std::int32_t length) override
    {
        return Read.StartRead(Device.Get(), buffer, length);
    }

    bool ReadPending() const override { return Read.Pending(); }

    std::int32_t FinishRead(std::int32_t& transferred) override
    {
        return Read.Finish(Device.Get(), transferred);
    }

    std::int32_t StartWrite(const void* buffer, std::int32_t length) override
    {
        return Write.StartWrite(Device.Get(), buffer, length);
    }

    bool WritePending() const override { return Write.Pending(); }

    std::int32_t FinishWrite(std::int32_t& transferred) override
    {
        // The wait ends when the write completes or CancelWrites is called; a cancelled write
        // is ended by the system and collected as ERROR_OPERATION_ABORTED with the bytes it
        // moved.
        // Without a cancel event (its creation failed) the write is waited for as it is.
        const HANDLE both[2] = {Write.Done(), CancelWake.Get()};
        if (CancelWake.Valid() &&
            WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            CancelIoEx(Device.Get(), Write.Record());
            // A driver that never gives the cancelled write back leaves it pending, for Close
            // to leave to the system; the caller is not held.
            if (WaitForSingleObject(Write.Done(), CancelBoundMs) != WAIT_OBJECT_0) {
                transferred = 0;
                return ERROR_OPERATION_ABORTED;
            }
        }
        return Write.Finish(Device.Get(), transferred);
    }

    void CancelWrites() override { SetEvent(CancelWake.Get()); }

    std::int32_t ClearCommError(std::uint32_t* errors, std::int32_t* inputCount) override
    {
        DWORD bits = 0;
        COMSTAT status{};
        if (!::ClearCommError(Device.Get(), &bits, inputCount ? &status : nullptr))
            return LastError();
        if (errors)
            *errors = bits;
        if (inputCount)
            *inputCount = static_cast<std::int32_t>(status.cbInQue);
        return 0;
    }

    // With fAbortOnError a Windows device stops every transfer after a line error until
    // ClearCommError runs, so the port checks after every transfer.
    bool ErrorStateBlocks() const override { return true; }

    std::int32_t GetModemStatus(std::uint32_t& status) override
    {
        DWORD bits = 0;
        if (!GetCommModemStatus(Device.Get(), &bits))
            return LastError();
        status = bits;
        return 0;
    }

    std::int32_t SetCommMask(std::uint32_t mask) override
    {
        if (!::SetCommMask(Device.Get(), mask))
            return LastError();
        // A new mask ends a pending wait on Windows; the wake-up does it wherever the system
        // does not.
        std::lock_guard lock(WaiterLock);
        if (Waiter)
            SetEvent(Waiter->Wake.Get());
        return 0;
    }

    std::int32_t WaitCommEvent(std::uint32_t& events) override
    {
        events = 0;
        std::shared_ptr<TCommWaiter> w;
        {
            std::lock_guard lock(WaiterLock);
            w = Waiter;
        }
        if (!w)
            return ERROR_INVALID_HANDLE;
        std::unique_lock lock(w->Lock);
        if (w->Closing)
            return 0;
        w->Record = {};
        w->Record.hEvent = w->CommEvent.Get();
        w->Mask = 0;
        if (::WaitCommEvent(w->Device, &w->Mask, &w->Record)) {
            events = w->Mask;
            return 0;
        }
        const DWORD started = GetLastError();
        // Wine ends a wait cut short by a new mask with ERROR_OPERATION_ABORTED where Windows
        // reports success with an empty mask; both are a wake-up.
        if (started == ERROR_OPERATION_ABORTED)
            return 0;
        if (started != ERROR_IO_PENDING)
            return static_cast<std::int32_t>(started);
        w->InWait = true;
        lock.unlock();
        const HANDLE both[2] = {w->CommEvent.Get(), w->Wake.Get()};
        if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0)
            CancelIoEx(w->Device, &w->Record);
        DWORD n = 0;
        const BOOL ok = GetOverlappedResult(w->Device, &w->Record, &n, TRUE);
        const DWORD code = ok ? 0 : GetLastError();
        lock.lock();
        w->InWait = false;
        w->Left.notify_all();
        if (ok) {
            events = w->Mask;
            return 0;
        }
        return code == ERROR_OPERATION_ABORTED ? 0 : static_cast<std::int32_t>(code);
    }

    std::string SystemMessage(std::int32_t code) const override
    {
        return WindowsErrorText(static_cast<DWORD>(code));
    }

    TComErrorKind ErrorKind(std::int32_t code) const override
    {
        // Windows answers ERROR_ACCESS_DENIED both for a port another program holds (at the
        // open) and for an open port whose device went away (a wait or transfer): on an open
        // port it means the device is gone, and the port closes itself.
        if (code == ERROR_ACCESS_DENIED && Opened.load())
            return ekDeviceGone;
        return SystemComErrorKind(code);
    }

    std::int32_t SaveProcessPriority() override
    {
        return static_cast<std::int32_t>(GetPriorityClass(GetCurrentProcess()));
    }

    void SetProcessPriority(TPriorityClass priorityClass) override
    {
        if (priorityClass != pcDefault)
            SetPriorityClass(GetCurrentProcess(), PriorityClassValue(priorityClass));
    }

    void RestoreProcessPriority(std::int32_t saved) override
    {
        if (saved != 0) // GetPriorityClass failed: nothing to restore
            SetPriorityClass(GetCurrentProcess(), static_cast<DWORD>(saved));
    }

    std::int64_t CurrentThreadId() const override { return GetCurrentThreadId(); }

    void SetThreadPriority(std::int64_t threadId, TThreadPriority priority) override
    {
        static constexpr int value[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                                        THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                        THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                        THREAD_PRIORITY_TIME_CRITICAL};
        TUniqueHandle thread(
            OpenThread(THREAD_SET_INFORMATION, FALSE, static_cast<DWORD>(threadId)));
        if (thread.Valid())
            ::SetThreadPriority(thread.Get(), value[priority]);
    }

private:
    TUniqueHandle Device;
    TOverlappedTransfer Read;
    TOverlappedTransfer Write;
    DCB Dcb{};
    bool DcbKnown = false;
    std::atomic<bool> Opened{false}; // read by ErrorKind on the event thread
    TUniqueHandle CancelWake;        // manual-reset, set by CancelWrites until the next Open

    std::mutex WaiterLock;
    std::shared_ptr<TCommWaiter> Waiter;
};

} // namespace

std::unique_ptr<TSerialPlatform> CreateSystemSerialPlatform()
{
    return std::make_unique<TWin32SerialPlatform>();
}
