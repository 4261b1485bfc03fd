// One transfer direction of an overlapped device, on a named pipe of the test's own (the port
// tests need the harness; a pipe shows the same overlapped behaviour). A driver that never gives
// a cancelled transfer back cannot be made under Wine or Windows from user code: a stand-in
// cancel that does nothing plays it, and the pipe, written to later, plays its late completion.
#include "serial/overlappedtransfer_win32.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

// Both ends of a fresh overlapped pipe: the device end that the transfer uses, and the far end.
struct TPipe
{
    TUniqueHandle Far;
    TUniqueHandle Device;

    explicit TPipe(const wchar_t* name)
    {
        const std::wstring path = std::wstring(L"\\\\.\\pipe\\srvdiag-transfer-") + name;
        Far.Reset(CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
        Device.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    }

    // Writes from the far end and waits until the pipe took the bytes.
    void Send(const std::string& bytes)
    {
        OVERLAPPED record{};
        TUniqueHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        record.hEvent = done.Get();
        DWORD n = 0;
        if (!WriteFile(Far.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr,
                       &record)) {
            ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        }
        ASSERT_TRUE(GetOverlappedResult(Far.Get(), &record, &n, TRUE));
        ASSERT_EQ(n, bytes.size());
    }
};

BOOL WINAPI IgnoredCancel(HANDLE, LPOVERLAPPED)
{
    return TRUE; // the driver takes the cancel and goes on waiting
}

TEST(OverlappedTransfer, ReadBytesReachTheCallersBufferWhenCollected)
{
    TPipe pipe(L"read");
    ASSERT_TRUE(pipe.Far.Valid() && pipe.Device.Valid());
    TOverlappedTransfer read;
    ASSERT_EQ(read.Create(), 0);
    char buffer[5] = {'-', '-', '-', '-', '-'};
    ASSERT_EQ(read.StartRead(pipe.Device.Get(), buffer, 5), 0);
    EXPECT_TRUE(read.Pending());
    pipe.Send("12345");
    std::int32_t transferred = 0;
    EXPECT_EQ(read.Finish(pipe.Device.Get(), transferred), 0);
    EXPECT_EQ(transferred, 5);
    EXPECT_EQ(std::string(buffer, 5), "12345");
    EXPECT_FALSE(read.Pending());

    // Bytes already there: the read completes at its start and they are the caller's at once.
    pipe.Send("ab");
    char second[2] = {};
    ASSERT_EQ(read.StartRead(pipe.Device.Get(), second, 2), 0);
    EXPECT_FALSE(read.Pending());
    EXPECT_EQ(std::string(second, 2), "ab");

    // A write moves a copy: the caller's bytes may change once it has started.
    TOverlappedTransfer write;
    ASSERT_EQ(write.Create(), 0);
    std::string data = "xyz";
    ASSERT_EQ(write.StartWrite(pipe.Device.Get(), data.data(), 3), 0);
    data = "___";
    ASSERT_EQ(write.Finish(pipe.Device.Get(), transferred), 0);
    char received[3] = {};
    DWORD n = 0;
    OVERLAPPED record{};
    TUniqueHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    record.hEvent = done.Get();
    if (!ReadFile(pipe.Far.Get(), received, 3, nullptr, &record)) {
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    }
    ASSERT_TRUE(GetOverlappedResult(pipe.Far.Get(), &record, &n, TRUE));
    EXPECT_EQ(std::string(received, n), "xyz");
}

TEST(OverlappedTransfer, CancelGivesBackAtOnceOrLeavesThePartsToTheCaller)
{
    TPipe pipe(L"cancel");
    ASSERT_TRUE(pipe.Far.Valid() && pipe.Device.Valid());
    TOverlappedTransfer read;
    ASSERT_EQ(read.Create(), 0);

    // A driver that completes the cancelled read: nothing is left over.
    char buffer[4] = {'-', '-', '-', '-'};
    ASSERT_EQ(read.StartRead(pipe.Device.Get(), buffer, 4), 0);
    EXPECT_EQ(read.Cancel(pipe.Device.Get(), INFINITE), nullptr);
    EXPECT_FALSE(read.Pending());

    // A driver that never does: the wait ends (no time needs to pass for it, the read cannot
    // complete while nothing is written), the transfer has no parts left, and the parts handed
    // over receive the late completion, not the caller's buffer, which may be gone by then.
    ASSERT_EQ(read.StartRead(pipe.Device.Get(), buffer, 4), 0);
    std::unique_ptr<TTransferParts> parts = read.Cancel(pipe.Device.Get(), 0, &IgnoredCancel);
    ASSERT_NE(parts, nullptr);
    EXPECT_FALSE(read.Pending());
    EXPECT_FALSE(read.Valid());
    pipe.Send("late");
    ASSERT_EQ(WaitForSingleObject(parts->Done.Get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(std::string(parts->Bytes.data(), 4), "late");
    EXPECT_EQ(std::string(buffer, 4), "----");

    // The transfer starts afresh with new parts.
    ASSERT_EQ(read.Create(), 0);
    pipe.Send("next");
    ASSERT_EQ(read.StartRead(pipe.Device.Get(), buffer, 4), 0);
    std::int32_t transferred = 0;
    EXPECT_EQ(read.Finish(pipe.Device.Get(), transferred), 0);
    EXPECT_EQ(std::string(buffer, 4), "next");
}

} // namespace
