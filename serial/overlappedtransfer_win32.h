#pragma once

#include "serial/uniquehandle_win32.h"

#include <cstdint>
#include <memory>
#include <vector>
#include <windows.h>

// What the system may still write while a transfer is pending: its record, its completion event
// and the transfer's own bytes.
struct TTransferParts
{
    OVERLAPPED Record{};
    TUniqueHandle Done; // manual-reset, signalled while nothing is pending
    std::vector<char> Bytes;
};

// One transfer direction of an overlapped device. The system moves the transfer's own bytes,
// never the caller's buffer: a write's bytes are copied in at the start, a read's bytes reach the
// caller's buffer as soon as the transfer is seen complete (at the start, by Pending or by
// Finish). So a transfer whose driver never gives it back, even after a cancel (a device pulled
// out at the wrong moment), can be left to the system with everything it may still write.
class TOverlappedTransfer
{
public:
    using TCancelFn = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);

    // Makes the parts, nothing pending; 0 or the system's code.
    std::int32_t Create();
    bool Valid() const { return Parts != nullptr; }
    // Signalled while nothing is pending (for waits); the record, for a cancel.
    HANDLE Done() const { return Parts ? Parts->Done.Get() : nullptr; }
    OVERLAPPED* Record() { return Parts ? &Parts->Record : nullptr; }

    bool Pending() const;
    // Starts a transfer; a failed start leaves nothing pending. A read's destination stays valid
    // until the transfer is seen complete or is cancelled.
    std::int32_t StartRead(HANDLE device, void* destination, std::int32_t length);
    std::int32_t StartWrite(HANDLE device, const void* data, std::int32_t length);
    // Collects the pending transfer, waiting for it: 0 or the system's code, and the bytes moved.
    std::int32_t Finish(HANDLE device, std::int32_t& transferred);

    // Ends a pending transfer (cancel: the system's CancelIoEx, or a stand-in) and waits at most
    // boundMs for the system to give it back; a cancelled read's bytes are dropped. Null when
    // nothing is pending any more. Otherwise the parts the system may still write, taken from
    // this transfer (which then has none: Create makes new ones): the caller must keep them alive
    // as long as the device might complete the transfer.
    [[nodiscard]] std::unique_ptr<TTransferParts> Cancel(HANDLE device, DWORD boundMs,
                                                         TCancelFn cancel = &CancelIoEx);

    // Drops the parts; only when nothing is pending.
    void Reset() { Parts.reset(); }

private:
    template <typename TStartFn> std::int32_t Start(TStartFn start);
    // A completed read's bytes into the caller's buffer, once.
    void Deliver() const;

    std::unique_ptr<TTransferParts> Parts;
    mutable void* Destination = nullptr; // a read's buffer until its bytes are delivered
};
