// The port on real pseudo-terminal pairs: the test holds the master side, the port opens the
// slave by name.
#include "serial/comport.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
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
        EXPECT_EQ(e.Kind(), ekTimeout);
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
    // The kernel hands the master's bytes to the slave's input queue on a work queue of its own,
    // and nothing tells the test when they are all there short of reading them: the operating
    // system's real time is what is waited for here. The limit only ends a hang.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Port.InputCount() < 5 && std::chrono::steady_clock::now() < end)
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
        EXPECT_EQ(e.Kind(), ekBusy);
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
        // Real time on purpose: the hang-up is meant to find the read waiting in the kernel, and
        // no event says it got there. Should the read start later, it meets the hang-up at once
        // and ends the same way.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Pty.CloseMaster();
    });
    const auto start = std::chrono::steady_clock::now();
    TComErrorKind kind = ekOther;
    const std::int32_t code = CodeOf([&] {
        try {
            Port.ReadChar();
        } catch (const EComError& e) {
            kind = e.Kind();
            throw;
        }
    });
    closer.join();
    EXPECT_EQ(code, EIO);
    EXPECT_EQ(kind, ekDeviceGone);
    // The read has no limit of its own: only a hang-up it missed takes this long.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    Port.Close();

    PtyPair fresh;
    Port.SetDeviceName(fresh.SlaveName);
    Port.Open();
    fresh.Send("k");
    Port.Timeouts().SetReadConstant(1000);
    EXPECT_EQ(Port.ReadChar(), 'k');
}

// Other tools (stty) read the standard rate back as it is, not as a custom one.
TEST_F(PtyPort, AStandardRateReachesTheDeviceAsItsStandardCode)
{
    termios t{};
    ASSERT_EQ(tcgetattr(Pty.Master, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    EXPECT_EQ(cfgetispeed(&t), speed_t(B9600));
}

// The priority class applies to the whole process while the port is open, and every thread has
// its own nice value back after the close, also when another thread than the opener closes.
TEST(PtyPriority, ClassAppliesToEveryThreadAndEachGetsItsValueBack)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "a nice value is only lowered again with privileges";
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.SlaveName);
    port.SetPriorityClass(pcIdle);
    const auto niceOf = [](pid_t tid) { return getpriority(PRIO_PROCESS, static_cast<id_t>(tid)); };
    const pid_t mainTid = gettid();
    const int mainBefore = niceOf(mainTid);

    std::mutex lock;
    std::condition_variable changed;
    int step = 0;
    pid_t openerTid = 0;
    int openerBefore = 0;
    std::thread opener([&] {
        std::unique_lock guard(lock);
        openerTid = gettid();
        openerBefore = niceOf(0);
        port.Open();
        step = 1;
        changed.notify_all();
        changed.wait(guard, [&] { return step == 2; }); // stays alive while the main thread closes
    });
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return step == 1; });
        EXPECT_EQ(niceOf(openerTid), 19);
        EXPECT_EQ(niceOf(mainTid), 19);
        port.Close();
        EXPECT_EQ(niceOf(openerTid), openerBefore);
        EXPECT_EQ(niceOf(mainTid), mainBefore);
        step = 2;
        changed.notify_all();
    }
    opener.join();
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
        EXPECT_EQ(e.Kind(), ekNotFound);
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
    std::mutex lock;
    std::condition_variable fired;
    int rxChars = 0;
    const auto count = [&] {
        std::lock_guard guard(lock);
        return rxChars;
    };
    port.SetOnRxChar([&](TCustomComPort&) {
        std::lock_guard guard(lock);
        ++rxChars;
        fired.notify_all();
    });
    port.Open();
    ASSERT_TRUE(port.EventThreadRunning());
    pty.Send("a");
    {
        std::unique_lock guard(lock);
        fired.wait_for(guard, std::chrono::seconds(30), [&] { return rxChars > 0; });
    }
    EXPECT_GE(count(), 1);
    // The byte stays unread: the thread waits for the next arrival instead of spinning. Real
    // time on purpose: a wait on the device that kept reporting the unread byte would fire the
    // handler over and over within it; a busy machine can only make it fire less.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(count(), 2);
    port.Timeouts().SetReadConstant(1000);
    EXPECT_EQ(port.ReadChar(), 'a');
    port.Close();
    EXPECT_FALSE(port.EventThreadRunning());
    // Closed with the thread just stopped, the device opens again at once.
    port.Open();
    EXPECT_TRUE(port.Active());
}

} // namespace
