#include "tests/faults/faultline.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

namespace {

// Pins the calling thread, and every thread it starts from now on, to one processor.
class TOneProcessor
{
public:
    TOneProcessor()
    {
        Saved = sched_getaffinity(0, sizeof Old, &Old) == 0;
        const int cpu = sched_getcpu();
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu < 0 ? 0 : cpu, &one);
        sched_setaffinity(0, sizeof one, &one);
    }
    ~TOneProcessor()
    {
        if (Saved)
            sched_setaffinity(0, sizeof Old, &Old);
    }
    TOneProcessor(const TOneProcessor&) = delete;
    TOneProcessor& operator=(const TOneProcessor&) = delete;

private:
    cpu_set_t Old{};
    bool Saved = false;
};

// A fault line whose relay and simulator threads run only when nothing else wants the processor.
std::unique_ptr<TFaultLine> IdleFaultLine()
{
    std::unique_ptr<TFaultLine> line;
    std::thread([&line] {
        const sched_param none{};
        sched_setscheduler(0, SCHED_IDLE, &none); // inherited by the threads started here
        line = std::make_unique<TFaultLine>(TFaultKind::None, TFaultPosition::Block127);
    }).join();
    return line;
}

} // namespace

// The fault matrix holds the tool's trace against the relay's record of what it delivered, after
// the tool has received, failed and written its trace. So a byte must be in the record before
// the tool can read it. On one processor, with the relay at idle priority, the relay's write wakes
// the reader, which runs before the relay does anything more: a record made after the write lags.
TEST(FaultLine, EveryByteTheToolCanReadIsAlreadyInTheRecord)
{
    const TOneProcessor pinned;
    const std::unique_ptr<TFaultLine> line = IdleFaultLine();
    const int fd = ::open(line->DeviceName().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    // A healthy server answers every 0x00 before identification with 0x00.
    constexpr std::size_t Exchanges = 500;
    std::size_t lagging = 0;
    std::size_t exchanged = 0;
    for (; exchanged < Exchanges; ++exchanged) {
        const char zero = 0;
        if (::write(fd, &zero, 1) != 1)
            break;
        pollfd in{fd, POLLIN, 0};
        char answer = 1;
        if (poll(&in, 1, 10000) != 1 || ::read(fd, &answer, 1) != 1 || answer != 0)
            break;
        if (line->ToTool().size() < exchanged + 1)
            ++lagging;
    }
    ::close(fd);
    EXPECT_EQ(exchanged, Exchanges) << "the server stopped answering";
    EXPECT_EQ(lagging, 0u) << "times a byte was read before the relay had recorded it";
}
