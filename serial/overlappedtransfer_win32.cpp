#include "serial/overlappedtransfer_win32.h"

#include <algorithm>
#include <cstring>

std::int32_t TOverlappedTransfer::Create()
{
    auto parts = std::make_unique<TTransferParts>();
    parts->Done.Reset(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    if (!parts->Done.Valid())
        return static_cast<std::int32_t>(GetLastError());
    Parts = std::move(parts);
    Destination = nullptr;
    return 0;
}

bool TOverlappedTransfer::Pending() const
{
    if (!Parts)
        return false;
    if (WaitForSingleObject(Parts->Done.Get(), 0) != WAIT_OBJECT_0)
        return true;
    Deliver();
    return false;
}

void TOverlappedTransfer::Deliver() const
{
    if (Destination == nullptr)
        return;
    // Complete: the record holds the count of bytes moved.
    const std::size_t count =
        std::min(static_cast<std::size_t>(Parts->Record.InternalHigh), Parts->Bytes.size());
    if (count > 0)
        std::memcpy(Destination, Parts->Bytes.data(), count);
    Destination = nullptr;
}

template <typename TStartFn> std::int32_t TOverlappedTransfer::Start(TStartFn start)
{
    Parts->Record = {};
    Parts->Record.hEvent = Parts->Done.Get();
    if (!ResetEvent(Parts->Done.Get()))
        return static_cast<std::int32_t>(GetLastError());
    if (!start(&Parts->Record)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            Destination = nullptr;
            SetEvent(Parts->Done.Get());
            return static_cast<std::int32_t>(code);
        }
    }
    return 0;
}

std::int32_t TOverlappedTransfer::StartRead(HANDLE device, void* destination, std::int32_t length)
{
    Parts->Bytes.assign(static_cast<std::size_t>(length), '\0');
    Destination = destination;
    const std::int32_t code = Start([&](OVERLAPPED* record) {
        return ReadFile(device, Parts->Bytes.data(), static_cast<DWORD>(length), nullptr, record);
    });
    if (code == 0)
        Pending(); // completed at once: the bytes are the caller's now
    return code;
}

std::int32_t TOverlappedTransfer::StartWrite(HANDLE device, const void* data, std::int32_t length)
{
    const auto* bytes = static_cast<const char*>(data);
    Parts->Bytes.assign(bytes, bytes + length);
    Destination = nullptr;
    return Start([&](OVERLAPPED* record) {
        return WriteFile(device, Parts->Bytes.data(), static_cast<DWORD>(length), nullptr, record);
    });
}

std::int32_t TOverlappedTransfer::Finish(HANDLE device, std::int32_t& transferred)
{
    DWORD n = 0;
    const BOOL ok = GetOverlappedResult(device, &Parts->Record, &n, TRUE);
    const DWORD code = ok ? 0 : GetLastError();
    transferred = static_cast<std::int32_t>(ok ? n : Parts->Record.InternalHigh);
    Deliver();
    // Collected: nothing is pending any more, whatever the system left the event in.
    SetEvent(Parts->Done.Get());
    // Wine ends a transfer cut short by its total timeout with ERROR_TIMEOUT where Windows
    // reports success with the bytes moved; either way the short count decides.
    if (code == ERROR_TIMEOUT)
        return 0;
    return static_cast<std::int32_t>(code);
}

std::unique_ptr<TTransferParts> TOverlappedTransfer::Cancel(HANDLE device, DWORD boundMs,
                                                            TCancelFn cancel)
{
    if (!Pending())
        return nullptr;
    Destination = nullptr; // the caller's buffer may go once this returns
    cancel(device, &Parts->Record);
    // The system signals the event when it gives the transfer back; a driver that never
    // completes the cancelled transfer must not hold the caller (closing the window) for ever.
    if (WaitForSingleObject(Parts->Done.Get(), boundMs) == WAIT_OBJECT_0)
        return nullptr;
    return std::move(Parts);
}
