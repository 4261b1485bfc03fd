#include "tools/serversim/simpty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

TSimPty::TSimPty(TSimOptions options, std::function<void()> onEnd)
    : Sim(std::move(options)), OnEnd(std::move(onEnd))
{
    char name[256] = {};
    if (openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    Name = name;
    fcntl(Master, F_SETFD, FD_CLOEXEC);
    fcntl(Slave, F_SETFD, FD_CLOEXEC);
    // Raw from the start: a cooked slave would echo and translate the server's bytes before the
    // tool has set up the line.
    termios tio{};
    if (tcgetattr(Slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(Slave, TCSANOW, &tio);
    }
    Thread = std::thread([this] {
        Sim.Serve(Master);
        if (Sim.HungUp())
            CloseAll();
        if (OnEnd && !Stopping.load())
            OnEnd();
    });
}

TSimPty::~TSimPty()
{
    Stopping.store(true);
    Sim.Stop();
    if (Thread.joinable())
        Thread.join();
    CloseAll();
}

void TSimPty::HangUp()
{
    Stopping.store(true);
    Sim.Stop();
    if (Thread.joinable())
        Thread.join();
    CloseAll();
}

void TSimPty::CloseAll()
{
    if (Slave >= 0)
        close(Slave);
    if (Master >= 0)
        close(Master);
    Slave = Master = -1;
}
