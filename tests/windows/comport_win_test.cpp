// The port component on its Win32 platform layer, against a pseudo-terminal that the host
// harness maps to COM5 and whose master it serves. Only what the Win32 calls decide is checked
// here; the component's portable behaviour has its tests in the Linux suite.
//
// Under Wine some checks allow for Wine's behaviour by name (WineAllows...): a real Windows run
// should look at exactly those.
#include "ptycontrol.h"
#include "serial/comport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Wine lets a second process or handle open a COM port that is already open; Windows refuses
// with ERROR_ACCESS_DENIED.
bool WineAllowsSharedOpen()
{
    return UnderWine();
}

struct ComPort : ::testing::Test
{
    void SetUp() override
    {
        const std::string problem = ComMappingProblem();
        ASSERT_EQ(problem, "") << "COM5 is not the harness's pty: nothing is opened";
        Master = std::make_unique<TPtyControl>();
    }

    // The window's stored settings and the worker's first timeout.
    static void ConfigureLikeTheWorker(TComPort& port)
    {
        port.SetDeviceName(kTestDevice);
        port.SetBaudRate(br9600);
        port.SetDataBits(db8);
        port.SetParity(paNone);
        port.SetStopBits(sb2);
        port.FlowControl().SetDTR(dcDisable);
        port.FlowControl().SetRTS(rcEnable);
        port.FlowControl().SetXOnXOff(xcDisable);
        port.SetPriorityClass(pcNormal);
        port.Timeouts().SetReadConstant(50);
    }

    // Waits until the port sees n waiting input bytes. The bytes cross the emulated system's
    // serial layer on its own threads and nothing tells the test when they are there short of
    // reading them: that real time is what is waited for. The limit only ends a hang.
    static bool WaitForInput(TComPort& port, std::int32_t n)
    {
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            if (port.InputCount() >= n)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::unique_ptr<TPtyControl> Master;
};

TEST_F(ComPort, OpensExclusivelyAndReportsSystemErrorsWithTheirCodeAndText)
{
    TComPort port;
    ConfigureLikeTheWorker(port);
    port.Open();
    ASSERT_TRUE(port.Active());

    TComPort second;
    second.SetDeviceName(kTestDevice);
    try {
        second.Open();
        EXPECT_TRUE(WineAllowsSharedOpen()) << "a second open of an open port succeeded";
    } catch (const EComError& e) {
        EXPECT_EQ(e.ErrorCode(), ERROR_ACCESS_DENIED);
        EXPECT_FALSE(second.Active());
    }
    second.Close();

    TComPort missing;
    missing.SetDeviceName("\\\\.\\SRVDIAG-NO-SUCH-DEVICE");
    try {
        missing.Open();
        ADD_FAILURE() << "a missing device opened";
    } catch (const EComError& e) {
        EXPECT_EQ(e.ErrorCode(), ERROR_FILE_NOT_FOUND);
        // The system's text, trimmed of its full stop and line end.
        const std::string text = e.what();
        EXPECT_FALSE(text.empty());
        EXPECT_NE(text.back(), '.');
        EXPECT_NE(text.back(), '\n');
    }
    EXPECT_FALSE(missing.Active());

    // A closed port has no handle: the system's invalid-handle error, not the closed-port one.
    try {
        missing.InputCount();
        ADD_FAILURE() << "InputCount on a closed port succeeded";
    } catch (const EComError& e) {
        EXPECT_EQ(e.ErrorCode(), ERROR_INVALID_HANDLE);
    }
}

// A pseudo-terminal always has 8 data bits and no parity (the kernel forces them), so the bit
// rate and the stop bits are what the master can show.
TEST_F(ComPort, LineSettingsReachTheDeviceAndDefaultsKeepTheDevicesOwn)
{
    {
        TComPort port;
        ConfigureLikeTheWorker(port);
        port.Open();
        EXPECT_EQ(Master->LineSettings(), "9600 8 2 N");
        port.SetBaudRate(br19200); // pushed at once while open
        EXPECT_EQ(Master->LineSettings(), "19200 8 2 N");
    }
    // Every ...Default value keeps what the device has: only the bit rate changes.
    TComPort port;
    port.SetDeviceName(kTestDevice);
    port.SetBaudRate(br4800);
    port.Open();
    EXPECT_EQ(Master->LineSettings(), "4800 8 2 N");
    port.SetStopBits(sb1);
    EXPECT_EQ(Master->LineSettings(), "4800 8 1 N");
}

TEST_F(ComPort, ModemLinesFollowTheBringUpSequenceAndStatusReadsTheInputLines)
{
    TComPort port;
    ConfigureLikeTheWorker(port);
    port.Open();                         // DTR off, RTS on
    port.FlowControl().SetDTR(dcEnable); // then DTR on
    port.FlowControl().SetRTS(rcDisable);
    EXPECT_EQ(Master->ModemLineChanges(), "01,11,10");

    // The harness's other end drives CTS and DSR; ring and carrier are off.
    const TModemStatus status = port.ModemStatus();
    EXPECT_TRUE(status.Contains(msCTS));
    EXPECT_TRUE(status.Contains(msDSR));
    EXPECT_FALSE(status.Contains(msRing));
    EXPECT_FALSE(status.Contains(msRLSD));
}

TEST_F(ComPort, ReadEndsByTheConfiguredTimeoutsAndAShortReadRaisesTimeout)
{
    TComPort port;
    ConfigureLikeTheWorker(port);
    port.Open();

    // Nothing arrives: "Timeout" after the 50 ms total, then the next byte reads normally.
    const auto start = Clock::now();
    try {
        port.ReadChar();
        ADD_FAILURE() << "ReadChar returned without a byte";
    } catch (const EComError& e) {
        EXPECT_STREQ(e.what(), "Timeout");
        EXPECT_EQ(e.ErrorCode(), 0);
    }
    EXPECT_GE(MsSince(start), 40);
    Master->Send("\x55");
    EXPECT_EQ(port.ReadChar(), 0x55);

    // A block of 17 with 16 arriving: "Timeout", the 16 bytes in the buffer.
    port.Timeouts().SetReadConstant(350);
    const std::string sixteen = "0123456789ABCDEF";
    Master->Send(sixteen);
    char buffer[17] = {};
    const auto blockStart = Clock::now();
    try {
        port.Read(buffer, 17, true);
        ADD_FAILURE() << "a short block read succeeded";
    } catch (const EComError& e) {
        EXPECT_STREQ(e.what(), "Timeout");
        EXPECT_EQ(e.ErrorCode(), 0);
    }
    EXPECT_GE(MsSince(blockStart), 300);
    EXPECT_EQ(std::string(buffer, 16), sixteen);

    // The port stays usable.
    Master->Send("\x11");
    EXPECT_EQ(port.ReadChar(), 0x11);
}

TEST_F(ComPort, UnwaitedWritesArriveInOrder)
{
    TComPort port;
    ConfigureLikeTheWorker(port);
    port.Open();
    port.WriteChar(0x00);
    port.WriteString("\x01\x02\x03");
    port.WriteChar(0xFF);
    const std::string expected("\x00\x01\x02\x03\xFF", 5);
    EXPECT_EQ(Master->Receive(5, 5000), expected);
}

// A device that takes no more bytes (nothing reads the master, its buffer fills): the write
// waits until CancelWrites from another thread ends it with ERROR_OPERATION_ABORTED, whether the
// cancel comes before the write has to wait or during the wait; every later write that has to
// wait ends the same way at once, until the next open.
TEST_F(ComPort, CancelWritesEndsWritesTheDeviceDoesNotTakeUntilTheNextOpen)
{
    TComPort port;
    ConfigureLikeTheWorker(port);
    port.Open();
    std::thread canceller([&port] {
        // Real time on purpose: the cancel should mostly find a write waiting in the system, and
        // no event says one is; one that comes before the write has to wait ends it the same way.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        port.CancelWrites();
    });
    const std::string block(65536, 'x');
    const auto writeUntilFailure = [&] {
        try {
            for (int i = 0; i < 64; ++i)
                port.WriteString(block);
            port.WriteChar('y');
        } catch (const EComError& e) {
            return e.ErrorCode();
        }
        return 0;
    };
    EXPECT_EQ(writeUntilFailure(), ERROR_OPERATION_ABORTED);
    canceller.join();
    EXPECT_EQ(writeUntilFailure(), ERROR_OPERATION_ABORTED);

    port.Close();
    Master->Drain();
    port.Open();
    port.WriteString("cd");
    port.WriteChar('e');
    EXPECT_EQ(Master->Receive(3, 5000), "cde");
}

TEST_F(ComPort, PurgeDropsWaitingInputAndEndsAPendingRead)
{
    TComPort port;
    ConfigureLikeTheWorker(port);
    port.Open();
    Master->Send("stale");
    ASSERT_TRUE(WaitForInput(port, 5));
    port.PurgeInput();
    EXPECT_EQ(port.InputCount(), 0);
    Master->Send("x");
    EXPECT_EQ(port.ReadChar(), 'x');

    // A read without any time limit, left pending, ends with the purge: the next byte goes to
    // the next read, not to the ended one.
    port.Timeouts().SetReadConstant(0);
    char ended = 0;
    port.Read(&ended, 1, false);
    port.PurgeInput();
    port.Timeouts().SetReadConstant(5000);
    Master->Send("y");
    EXPECT_EQ(port.ReadChar(), 'y');
    EXPECT_EQ(ended, 0);
}

TEST_F(ComPort, HangUpMakesTransfersFailWithASystemError)
{
    TComPort port;
    ConfigureLikeTheWorker(port);
    port.Open();
    Master->HangUp();
    // Whichever operation notices first: each fails at once with a system code that the port
    // reports as a device gone (Wine: ReadFile 109, WriteFile and ClearCommError 21), none hangs.
    int failures = 0;
    for (int i = 0; i < 3; ++i) {
        try {
            port.WriteChar(0x00);
            port.ReadChar();
        } catch (const EComError& e) {
            if (e.ErrorCode() != 0)
                ++failures;
            EXPECT_EQ(e.Kind(), ekDeviceGone) << e.ErrorCode() << " " << e.what();
        }
    }
    EXPECT_EQ(failures, 3);
    port.Close();
    EXPECT_FALSE(port.Active());
}

TEST_F(ComPort, EventThreadCallsOnRxCharAndStopsWithTheHandler)
{
    TComPort port;
    ConfigureLikeTheWorker(port);
    port.SetSynchronizeEvents(false);
    std::mutex lock;
    std::condition_variable changed;
    int calls = 0;
    port.SetOnRxChar([&](TCustomComPort&) {
        std::lock_guard guard(lock);
        ++calls;
        changed.notify_all();
    });
    port.Open();
    Master->Send("a");
    {
        std::unique_lock guard(lock);
        EXPECT_TRUE(changed.wait_for(guard, std::chrono::seconds(10), [&] { return calls > 0; }));
    }
    EXPECT_EQ(port.ReadChar(), 'a');
    port.SetOnRxChar(nullptr); // the last handler: the thread stops, the port stays open
    EXPECT_TRUE(port.Active());
    port.Close();

    // Closing while the thread waits ends the wait; the port opens again at once.
    port.SetOnRxChar([](TCustomComPort&) {});
    port.Open();
    port.Close();
    port.Open();
    EXPECT_TRUE(port.Active());
}

TEST_F(ComPort, PriorityClassHoldsWhileOpen)
{
    const DWORD before = GetPriorityClass(GetCurrentProcess());
    TComPort port;
    ConfigureLikeTheWorker(port);
    port.SetPriorityClass(pcHigh);
    port.Open();
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    port.Close();
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), before);
}

} // namespace
