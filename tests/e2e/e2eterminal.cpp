#include "tests/e2e/e2eterminal.h"

#include "tests/e2e/e2eprocess.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

TTerminal::TTerminal()
{
    Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    Device = ptsname(Master);
}

void TTerminal::SetColumns(unsigned short columns)
{
    const winsize size{24, columns, 0, 0};
    if (ioctl(Master, TIOCSWINSZ, &size) != 0)
        throw std::runtime_error("cannot size the pseudo-terminal");
}

void TTerminal::Type(const std::string& text)
{
    if (write(Master, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot type on the pseudo-terminal");
}

namespace {

// Starts or stops the output of the terminal's program side (TCOOFF, TCOON).
void Flow(int master, int action)
{
    const int program = ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC);
    const bool done = program >= 0 && tcflow(program, action) == 0;
    if (program >= 0)
        close(program);
    if (!done)
        throw std::runtime_error("cannot hold or release the terminal's output");
}

} // namespace

void TTerminal::PauseOutput()
{
    Flow(Master, TCOOFF);
}

void TTerminal::ResumeOutput()
{
    Flow(Master, TCOON);
}

TTerminal::~TTerminal()
{
    if (Master >= 0)
        close(Master);
}

void TTerminal::ReadAvailable(std::chrono::milliseconds wait)
{
    pollfd p{Master, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(wait.count())) <= 0 || (p.revents & POLLIN) == 0) {
        if (p.revents & (POLLHUP | POLLERR)) // no writer left: do not spin on it
            poll(nullptr, 0, static_cast<int>(wait.count()));
        return;
    }
    char buffer[4096];
    const ssize_t n = read(Master, buffer, sizeof buffer);
    if (n > 0)
        Text.append(buffer, static_cast<std::size_t>(n));
}

bool TTerminal::WaitFor(const std::string& text, TProcess& process, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Text.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline ||
            process.WaitFor(std::chrono::milliseconds(0)))
            return false;
        ReadAvailable(std::chrono::milliseconds(20));
    }
    return true;
}

std::optional<int> TTerminal::WaitForExit(TProcess& process, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const auto code = process.WaitFor(std::chrono::milliseconds(0))) {
            for (std::size_t size = Text.size() + 1; size != Text.size();) {
                size = Text.size();
                ReadAvailable(std::chrono::milliseconds(0));
            }
            return code;
        }
        ReadAvailable(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}
