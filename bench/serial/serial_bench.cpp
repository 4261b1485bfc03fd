// Measures the serial port over a pseudo-terminal against a responder process, side by side with
// a bare write/ppoll/read loop on the same kind of descriptor. Prints figures; asserts nothing.
//
//   serial_bench                 full run (system calls counted with strace when present)
//   serial_bench --phase P N     one phase of N operations, for the system call count
#include "serial/comport.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRequestLength = 6;
constexpr int kReplyLength = 17;
// 9600 baud, 8 data bits, 2 stop bits: 11 bit times per character.
constexpr double kCharNs = 11.0 / 9600.0 * 1e9;

enum class TMode { Echo, Reply17, Paced17, Silent };

std::int64_t NowNs(clockid_t clock = CLOCK_MONOTONIC)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The far side: a forked process on the pty master that answers at once (or paced).
void RunResponder(int master, TMode mode)
{
    prctl(PR_SET_TIMERSLACK, 1UL); // pace on time, not up to 50 us late

    std::string pending;
    char buf[4096];
    const std::string reply(kReplyLength, 'R');
    while (true) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            _exit(0);
        if (mode == TMode::Echo) {
            if (::write(master, buf, size_t(n)) != n)
                _exit(1);
            continue;
        }
        if (mode == TMode::Silent)
            continue;
        pending.append(buf, size_t(n));
        while (pending.size() >= kRequestLength) {
            pending.erase(0, kRequestLength);
            if (mode == TMode::Reply17) {
                if (::write(master, reply.data(), reply.size()) != ssize_t(reply.size()))
                    _exit(1);
                continue;
            }
            // One character per character time, on an absolute schedule.
            timespec next{};
            clock_gettime(CLOCK_MONOTONIC, &next);
            for (int i = 0; i < kReplyLength; ++i) {
                std::int64_t ns = next.tv_nsec + std::int64_t(kCharNs);
                next.tv_sec += time_t(ns / 1000000000);
                next.tv_nsec = long(ns % 1000000000);
                clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
                if (::write(master, "P", 1) != 1)
                    _exit(1);
            }
        }
    }
}

struct TResponder
{
    explicit TResponder(TMode mode)
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&Master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        SlaveName = name;
        termios t{};
        tcgetattr(Master, &t);
        cfmakeraw(&t);
        tcsetattr(Master, TCSANOW, &t);
        // The responder keeps a slave descriptor: with none open, a read on the master fails
        // at once instead of waiting.
        Pid = fork();
        if (Pid == 0)
            RunResponder(Master, mode);
        ::close(slave);
    }
    ~TResponder()
    {
        ::close(Master);
        kill(Pid, SIGTERM);
        waitpid(Pid, nullptr, 0);
    }
    int Master = -1;
    pid_t Pid = -1;
    std::string SlaveName;
};

// The bare loop's descriptor: opened and set raw as the port does it.
int OpenBare(const std::string& name)
{
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void BareReadExactly(int fd, char* buf, int length)
{
    int done = 0;
    pollfd p{fd, POLLIN, 0};
    while (done < length) {
        const timespec limit{2, 0};
        if (ppoll(&p, 1, &limit, nullptr) == 0) {
            std::fprintf(stderr, "bare loop: no answer\n");
            std::exit(1);
        }
        const ssize_t n = ::read(fd, buf + done, size_t(length - done));
        if (n > 0)
            done += int(n);
    }
}

void ConfigurePort(TComPort& port, const std::string& name)
{
    port.SetDeviceName(name);
    port.SetBaudRate(br9600);
    port.SetDataBits(db8);
    port.SetParity(paNone);
    port.SetStopBits(sb2);
    port.FlowControl().SetDTR(dcDisable);
    port.FlowControl().SetRTS(rcEnable);
    port.FlowControl().SetXOnXOff(xcDisable);
    port.Timeouts().SetReadConstant(350);
    port.Open();
}

struct TFigures
{
    double MedianUs = 0;
    double P99Us = 0;
    double CpuUsPerOp = 0;
};

TFigures Measure(int count, const std::function<void()>& op)
{
    for (int i = 0; i < 200; ++i)
        op();
    std::vector<double> us(size_t(count), 0.0);
    const std::int64_t cpu0 = NowNs(CLOCK_PROCESS_CPUTIME_ID);
    for (int i = 0; i < count; ++i) {
        const std::int64_t t0 = NowNs();
        op();
        us[size_t(i)] = double(NowNs() - t0) / 1000.0;
    }
    const std::int64_t cpu = NowNs(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)],
            double(cpu) / 1000.0 / count};
}

// A phase: a measured operation against its own responder. Returns figures.
TFigures RunPhase(const std::string& phase, int count)
{
    const std::string request(kRequestLength, 'Q');
    char reply[kReplyLength];
    if (phase == "bare1" || phase == "bare17") {
        TResponder responder(phase == "bare1" ? TMode::Echo : TMode::Reply17);
        const int fd = OpenBare(responder.SlaveName);
        TFigures f;
        if (phase == "bare1")
            f = Measure(count, [&] {
                char c = 'x';
                if (::write(fd, &c, 1) != 1)
                    std::exit(1);
                BareReadExactly(fd, &c, 1);
            });
        else
            f = Measure(count, [&] {
                if (::write(fd, request.data(), request.size()) != kRequestLength)
                    std::exit(1);
                BareReadExactly(fd, reply, kReplyLength);
            });
        ::close(fd);
        return f;
    }
    TResponder responder(phase == "port1" ? TMode::Echo : TMode::Reply17);
    TComPort port;
    ConfigurePort(port, responder.SlaveName);
    if (phase == "port1")
        return Measure(count, [&] {
            port.WriteChar('x');
            port.ReadChar();
        });
    return Measure(count, [&] {
        port.WriteString(request);
        port.Read(reply, kReplyLength, true);
    });
}

// System calls per operation of a phase: strace -c over runs of n and 2n operations, so that
// setting up cancels out. Negative when strace is not there.
double SyscallsPerOp(const std::string& self, const std::string& phase)
{
    auto calls = [&](int n) -> long {
        char out[] = "/tmp/serial_bench_strace_XXXXXX";
        const int fd = mkstemp(out);
        if (fd < 0)
            return -1;
        ::close(fd);
        const std::string cmd = "strace -c -o " + std::string(out) + " " + self + " --phase " +
                                phase + " " + std::to_string(n) + " >/dev/null 2>&1";
        long total = -1;
        if (std::system(cmd.c_str()) == 0) {
            if (FILE* f = std::fopen(out, "r")) {
                char line[512];
                while (std::fgets(line, sizeof line, f))
                    if (std::strstr(line, " total")) {
                        double pct = 0, secs = 0;
                        long usecs = 0, count = 0;
                        if (std::sscanf(line, "%lf %lf %ld %ld", &pct, &secs, &usecs, &count) == 4)
                            total = count;
                    }
                std::fclose(f);
            }
        }
        std::remove(out);
        return total;
    };
    const int n = 2000;
    const long a = calls(n);
    const long b = calls(2 * n);
    if (a < 0 || b < 0)
        return -1;
    return double(b - a) / n;
}

void PrintPair(const char* what, const TFigures& port, const TFigures& bare, double portCalls,
               double bareCalls)
{
    std::printf("%s\n", what);
    std::printf("  %-10s median %8.2f us  p99 %8.2f us  cpu %7.2f us/op  syscalls %5.2f/op\n",
                "port", port.MedianUs, port.P99Us, port.CpuUsPerOp, portCalls);
    std::printf("  %-10s median %8.2f us  p99 %8.2f us  cpu %7.2f us/op  syscalls %5.2f/op\n",
                "bare loop", bare.MedianUs, bare.P99Us, bare.CpuUsPerOp, bareCalls);
    std::printf("  ratio      median %8.3f     p99 %8.3f     cpu %7.3f\n",
                port.MedianUs / bare.MedianUs, port.P99Us / bare.P99Us,
                port.CpuUsPerOp / bare.CpuUsPerOp);
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc == 4 && std::string(argv[1]) == "--phase") {
        RunPhase(argv[2], std::atoi(argv[3]));
        return 0;
    }
    const std::string self = argc > 0 ? argv[0] : "serial_bench";

    // Keep the CPU out of deep idle states for the run: they swing latency by several times.
    const int latency = ::open("/dev/cpu_dma_latency", O_WRONLY | O_CLOEXEC);
    if (latency >= 0) {
        const std::int32_t zero = 0;
        if (::write(latency, &zero, sizeof zero) == sizeof zero)
            std::printf("CPU idle states held off: /dev/cpu_dma_latency = 0 for the run\n");
    } else {
        std::printf("CPU idle states NOT held off (/dev/cpu_dma_latency: %s); figures may "
                    "swing\n",
                    std::strerror(errno));
    }

    const int count = 5000;
    // Alternate port and bare runs and keep each one's best median, so a passing disturbance
    // hits both sides alike.
    TFigures port1{1e18, 1e18, 1e18}, bare1{1e18, 1e18, 1e18};
    TFigures port17{1e18, 1e18, 1e18}, bare17{1e18, 1e18, 1e18};
    auto keepBest = [](TFigures& best, const TFigures& f) {
        best.MedianUs = std::min(best.MedianUs, f.MedianUs);
        best.P99Us = std::min(best.P99Us, f.P99Us);
        best.CpuUsPerOp = std::min(best.CpuUsPerOp, f.CpuUsPerOp);
    };
    for (int round = 0; round < 3; ++round) {
        keepBest(bare1, RunPhase("bare1", count));
        keepBest(port1, RunPhase("port1", count));
        keepBest(bare17, RunPhase("bare17", count));
        keepBest(port17, RunPhase("port17", count));
    }
    const double callsPort1 = SyscallsPerOp(self, "port1");
    const double callsBare1 = SyscallsPerOp(self, "bare1");
    const double callsPort17 = SyscallsPerOp(self, "port17");
    const double callsBare17 = SyscallsPerOp(self, "bare17");
    if (callsPort1 < 0)
        std::printf("(strace not found: system calls not counted)\n");
    std::printf("best of 3 rounds of %d operations each\n", count);
    PrintPair("single-byte round trip (WriteChar, ReadChar) vs write/ppoll/read:", port1, bare1,
              callsPort1, callsBare1);
    PrintPair("17-byte transaction (WriteString of 6, waited Read of 17) vs the same bare:", port17,
              bare17, callsPort17, callsBare17);

    {
        TResponder responder(TMode::Silent);
        TComPort port;
        ConfigurePort(port, responder.SlaveName);
        port.Timeouts().SetReadConstant(50);
        std::vector<double> lateUs, cpuUs;
        for (int i = 0; i < 20; ++i) {
            const std::int64_t cpu0 = NowNs(CLOCK_PROCESS_CPUTIME_ID);
            const std::int64_t t0 = NowNs();
            try {
                port.ReadChar();
            } catch (const EComError&) {
            }
            lateUs.push_back(double(NowNs() - t0) / 1000.0 - 50000.0);
            cpuUs.push_back(double(NowNs(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / 1000.0);
        }
        std::sort(lateUs.begin(), lateUs.end());
        std::sort(cpuUs.begin(), cpuUs.end());
        // The same wait done bare: one ppoll of 50 ms.
        std::vector<double> bareLateUs, bareCpuUs;
        const int fd = OpenBare(responder.SlaveName);
        for (int i = 0; i < 20; ++i) {
            const std::int64_t cpu0 = NowNs(CLOCK_PROCESS_CPUTIME_ID);
            const std::int64_t t0 = NowNs();
            pollfd p{fd, POLLIN, 0};
            const timespec limit{0, 50000000};
            ppoll(&p, 1, &limit, nullptr);
            bareLateUs.push_back(double(NowNs() - t0) / 1000.0 - 50000.0);
            bareCpuUs.push_back(double(NowNs(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / 1000.0);
        }
        ::close(fd);
        std::sort(bareLateUs.begin(), bareLateUs.end());
        std::sort(bareCpuUs.begin(), bareCpuUs.end());
        std::printf("bare ppoll of 50 ms (20 runs): ends %+.1f us after the deadline (median); cpu "
                    "median %.1f us, max %.1f us\n",
                    bareLateUs[10], bareCpuUs[10], bareCpuUs.back());
        std::printf("50 ms ReadChar with nothing arriving (20 runs): ends %+.1f us after the "
                    "deadline (median), earliest %+.1f, latest %+.1f; cpu median %.1f us, max "
                    "%.1f us\n",
                    lateUs[10], lateUs.front(), lateUs.back(), cpuUs[10], cpuUs.back());
    }
    {
        // The bare loop against the same paced responder shows what the pacing itself costs.
        const std::string request(kRequestLength, 'Q');
        char reply[kReplyLength];
        auto paced = [&](const std::function<void()>& transaction) {
            std::vector<double> overUs;
            for (int i = 0; i < 50; ++i) {
                const std::int64_t t0 = NowNs();
                transaction();
                overUs.push_back(double(NowNs() - t0) / 1000.0 - kReplyLength * kCharNs / 1000.0);
            }
            std::sort(overUs.begin(), overUs.end());
            return std::pair{overUs[25], overUs.back()};
        };
        TResponder portResponder(TMode::Paced17);
        TComPort port;
        ConfigurePort(port, portResponder.SlaveName);
        const auto [portMedian, portMax] = paced([&] {
            port.WriteString(request);
            port.Read(reply, kReplyLength, true);
        });
        TResponder bareResponder(TMode::Paced17);
        const int fd = OpenBare(bareResponder.SlaveName);
        const auto [bareMedian, bareMax] = paced([&] {
            if (::write(fd, request.data(), request.size()) != kRequestLength)
                std::exit(1);
            BareReadExactly(fd, reply, kReplyLength);
        });
        ::close(fd);
        std::printf("paced 9600 8N2 transaction (17 characters = %.1f us, 50 runs), time over 17 "
                    "character times:\n  port %+.1f us median, %+.1f us max; bare loop %+.1f us "
                    "median, %+.1f us max; port - bare %+.1f us\n",
                    kReplyLength * kCharNs / 1000.0, portMedian, portMax, bareMedian, bareMax,
                    portMedian - bareMedian);
    }
    if (latency >= 0)
        ::close(latency);
    return 0;
}
