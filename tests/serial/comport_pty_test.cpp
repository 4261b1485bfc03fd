// The port on real pseudo-terminal pairs: the test holds the master side, the port opens the
// slave by name.
#include "serial/comport.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

class PtyPair
{
public:
    PtyPair()
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&Master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        SlaveName = name;
        ::close(slave); // the port opens the slave itself; the master keeps the pair alive
        termios t{};
        tcgetattr(Master, &t);
        cfmakeraw(&t);
        tcsetattr(Master, TCSANOW, &t);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    void Send(const std::string& bytes) const
    {
        ASSERT_EQ(::write(Master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Reads exactly n bytes (waiting up to 2 s), fewer when they do not come.
    std::string Receive(std::size_t n) const
    {
        std::string out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (out.size() < n && std::chrono::steady_clock::now() < end) {
            pollfd p{Master, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buf[256];
            const ssize_t got = ::read(Master, buf, std::min(sizeof buf, n - out.size()));
            if (got <= 0)
                break;
            out.append(buf, std::size_t(got));
        }
        return out;
    }
    void CloseMaster()
    {
        if (Master >= 0)
            ::close(Master);
        Master = -1;
    }

    int Master = -1;
    std::string SlaveName;
};

double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// A port set up the way the worker sets it up.
struct PtyPort : ::testing::Test
{
    void SetUp() override
    {
        Port.SetDeviceName(Pty.SlaveName);
        Port.SetBaudRate(br9600);
        Port.SetDataBits(db8);
        Port.SetParity(paNone);
        Port.SetStopBits(sb2);
        Port.FlowControl().SetDTR(dcDisable);
        Port.FlowControl().SetRTS(rcEnable);
        Port.FlowControl().SetXOnXOff(xcDisable);
        Port.Timeouts().SetReadConstant(50);
        Port.Open();
    }
    PtyPair Pty;
    TComPort Port;
};

std::int32_t CodeOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const EComError& e) {
        return e.ErrorCode();
    }
    return -1;
}

TEST_F(PtyPort, ByteAndBlockTransfersReachTheOtherSideUnchanged)
{
    ASSERT_TRUE(Port.Active());
    Port.WriteChar(0x00);
    Port.WriteChar(0xFF); // the second write first finishes the first
    Port.WriteString(std::string("\r\n\x11\x13\x7f", 5));
    EXPECT_EQ(Pty.Receive(7), std::string("\x00\xFF\r\n\x11\x13\x7f", 7));

    Pty.Send(std::string("\x0d\x00\x11", 3));
    EXPECT_EQ(Port.ReadChar(), 0x0D);
    char block[2] = {};
    Port.Read(block, 2, true);
    EXPECT_EQ(std::string(block, 2), std::string("\x00\x11", 2));

    const std::string big(3000, 'x');
    Port.WriteString(big);
    EXPECT_EQ(Pty.Receive(big.size()), big);
}

TEST_F(PtyPort, ReadCharTimesOutAfterTheReadConstantAtLittleCpuAndWorksAgain)
{
    const double cpuBefore = ThreadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    try {
        Port.ReadChar();
        FAIL() << "no timeout";
    } catch (const EComError& e) {
        EXPECT_STREQ(e.what(), "Timeout");
        EXPECT_EQ(e.ErrorCode(), 0);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(50));
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    EXPECT_LT(ThreadCpuMs() - cpuBefore, 20.0); // a wait, not a spin

    Pty.Send("A");
    EXPECT_EQ(Port.ReadChar(), 'A');
}

TEST_F(PtyPort, ShortBlockReadRaisesTimeoutWithTheArrivedBytesInTheBuffer)
{
    Pty.Send("ab");
    char block[4] = {};
    EXPECT_EQ(CodeOf([&] { Port.Read(block, 4, true); }), 0);
    EXPECT_EQ(std::string(block, 2), "ab");
}

TEST_F(PtyPort, UnwaitedReadIsFinishedByTheNextRead)
{
    char first[2] = {};
    Port.Read(first, 2, false);
    Pty.Send("xyz");
    char second = 0;
    Port.Read(&second, 1, true);
    EXPECT_EQ(std::string(first, 2), "xy");
    EXPECT_EQ(second, 'z');
}

TEST_F(PtyPort, InputCountAndPurgeInput)
{
    Pty.Send("12345");
    for (int i = 0; i < 200 && Port.InputCount() < 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Port.InputCount(), 5);
    Port.PurgeInput();
    EXPECT_EQ(Port.InputCount(), 0);
    EXPECT_EQ(CodeOf([&] { Port.ReadChar(); }), 0); // nothing left: Timeout
    Port.PurgeOutput();
}

TEST_F(PtyPort, SecondOpenerIsRefusedWithTheSystemError)
{
    TComPort second;
    second.SetDeviceName(Pty.SlaveName);
    try {
        second.Open();
        FAIL() << "second open succeeded";
    } catch (const EComError& e) {
        EXPECT_NE(e.ErrorCode(), 0);
        EXPECT_FALSE(std::string(e.what()).empty());
    }
    EXPECT_FALSE(second.Active());

    // Once the first closes, the device is free again.
    Port.Close();
    second.Open();
    EXPECT_TRUE(second.Active());
}

TEST_F(PtyPort, ClosedPortErrors)
{
    Port.Close();
    EXPECT_FALSE(Port.Active());
    try {
        Port.ReadChar();
        FAIL();
    } catch (const EComError& e) {
        EXPECT_STREQ(e.what(), "Can't perform this operation on a closed port");
        EXPECT_EQ(e.ErrorCode(), 0);
    }
    EXPECT_EQ(CodeOf([&] { Port.WriteChar(1); }), 0);
    try {
        Port.InputCount();
        FAIL();
    } catch (const EComError& e) {
        EXPECT_EQ(e.ErrorCode(), EBADF);
        EXPECT_STREQ(e.what(), "Bad file descriptor");
    }
    EXPECT_NO_THROW(Port.PurgeInput());
    EXPECT_NO_THROW(Port.Close());
}

TEST_F(PtyPort, HangUpDuringAWaitingReadEndsItWithTheSystemErrorAndThePortReopens)
{
    Port.Timeouts().SetReadConstant(0); // no limit: only the hang-up can end the read
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Pty.CloseMaster();
    });
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t code = CodeOf([&] { Port.ReadChar(); });
    closer.join();
    EXPECT_EQ(code, EIO);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    Port.Close();

    PtyPair fresh;
    Port.SetDeviceName(fresh.SlaveName);
    Port.Open();
    fresh.Send("k");
    Port.Timeouts().SetReadConstant(1000);
    EXPECT_EQ(Port.ReadChar(), 'k');
}

// A device that stops taking bytes: the master never reads, so a block far bigger than the
// terminal holds stays pending, and with no write timeout only a cancel can end the next write.
TEST_F(PtyPort, CancelEndsAWriteTheDeviceNeverTakesAndEveryOneUntilTheNextOpen)
{
    const std::string big(1 << 20, 'x');
    Port.WriteString(big);
    auto blocked =
        std::async(std::launch::async, [this] { return CodeOf([this] { Port.WriteChar(0); }); });
    EXPECT_EQ(blocked.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    Port.CancelWrites(); // from another thread than the waiting one
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(blocked.get(), ECANCELED);

    // A later write that has to wait ends at once as well; reads keep their timeouts.
    Port.WriteString(big);
    EXPECT_EQ(CodeOf([this] { Port.WriteChar(0); }), ECANCELED);
    EXPECT_EQ(CodeOf([this] { Port.ReadChar(); }), 0); // "Timeout"

    // A new open starts without the cancel, also one that came while the port was closed: the
    // write's own bound ends it then.
    Port.Close();
    Port.CancelWrites();
    Port.Open();
    Port.Timeouts().SetWriteConstant(50);
    Port.WriteString(big);
    EXPECT_EQ(CodeOf([this] { Port.WriteChar(0); }), 0); // "Timeout"
}

TEST(PtyOpen, MissingDeviceFailsWithTheSystemText)
{
    TComPort port;
    port.SetDeviceName("/dev/srvdiag-no-such-port");
    try {
        port.Open();
        FAIL();
    } catch (const EComError& e) {
        EXPECT_EQ(e.ErrorCode(), ENOENT);
        EXPECT_STREQ(e.what(), "No such file or directory");
    }
    EXPECT_FALSE(port.Active());
}

TEST(PtyOpen, SettingsRefusedByTheDeviceRaiseAndKeepTheStoredValue)
{
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.SlaveName);
    port.Open();
    EXPECT_EQ(CodeOf([&] { port.SetDataBits(db4); }), EINVAL);
    EXPECT_EQ(port.DataBits(), db4);
    port.SetDataBits(db7);
    EXPECT_EQ(CodeOf([&] { port.SetStopBits(sb1_5); }), EINVAL);
    port.SetStopBits(sb1);
    EXPECT_EQ(CodeOf([&] { port.SetCustomBaudRate(0); }), -1); // equal to the stored 0: no-op
    port.SetCustomBaudRate(31250);
    EXPECT_EQ(port.CustomBaudRate(), 31250);
    port.SetBaudRate(br256000);
    EXPECT_EQ(port.CustomBaudRate(), 256000);
}

} // namespace

namespace {

TEST(PtyEvents, RxCharFiresForArrivingBytesAndCloseStopsTheThread)
{
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.SlaveName);
    port.SetSynchronizeEvents(false);
    std::atomic<int> rxChars{0};
    port.SetOnRxChar([&](TCustomComPort&) { ++rxChars; });
    port.Open();
    ASSERT_TRUE(port.EventThreadRunning());
    pty.Send("a");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (rxChars == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(rxChars.load(), 1);
    // The byte stays unread: the thread waits for the next arrival instead of spinning.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(rxChars.load(), 2);
    port.Timeouts().SetReadConstant(1000);
    EXPECT_EQ(port.ReadChar(), 'a');
    port.Close();
    EXPECT_FALSE(port.EventThreadRunning());
    // Closed with the thread just stopped, the device opens again at once.
    port.Open();
    EXPECT_TRUE(port.Active());
}

} // namespace
