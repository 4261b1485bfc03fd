// Runs one Windows test program under Wine against a fresh pseudo-terminal mapped to a COM
// port, and serves the pty's master side to the program over a loopback control connection.
//
//   comharness --link PATH --dosdevice PATH --preload LIB [--serve OPTIONS] -- wine test.exe [args]
//
// PATH is the link the prefix's registry maps the COM port to (HKLM\Software\Wine\Ports); the
// harness points it at the new pty slave, and refuses to run unless the prefix's device link
// (dosdevices/comN) leads to PATH, so the program can never reach a real port of this machine.
// The program learns the control port from SRVDIAG_PTY_CONTROL and the expected mapping from
// SRVDIAG_COM_LINK; it runs with the modem-line preload library and its log SRVDIAG_MODEM_LOG.
// With --serve the server simulator answers on the master from the start, with OPTIONS (one
// argument, the simulator's options separated by blanks), as SERVE does.
//
// Control commands, one line each, answered by "OK ..." or "ERR ...":
//   SEND <hex>         write the bytes to the master
//   RECV <n> <ms>      read up to n bytes within ms milliseconds; answer "OK <hex>"
//   DRAIN              drop what the master has received
//   TERMIOS            "OK <baud> <data bits> <stop bits> <parity N|O|E>"
//   LINES              the modem-line log: "OK <DTR><RTS>,<DTR><RTS>,..." ("01,10")
//   HANGUP             close the master (the device goes away)
//   SERVE [options]    from now on the server simulator answers on the master (the options of
//                      srvdiag-serversim); when it hangs up, the master is closed
#include "tests/windows/hexcoding.h"
#include "tools/serversim/realtime.h"
#include "tools/serversim/serversim.h"
#include "tools/serversim/simargs.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "comharness: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(125);
}

std::string ReadLink(const std::string& path)
{
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

long long NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

struct THarness
{
    int Master = -1;
    std::string LogPath;
    std::unique_ptr<TServerSim> Sim;
    std::thread Serving;

    ~THarness()
    {
        if (Sim)
            Sim->Stop();
        if (Serving.joinable())
            Serving.join();
    }

    std::string StartServing(std::istringstream& in)
    {
        if (Sim || Master < 0)
            return "ERR already serving or hung up";
        std::vector<std::string> words{"serversim"};
        for (std::string word; in >> word;)
            words.push_back(word);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        TSimOptions options;
        for (int i = 1; i < static_cast<int>(argv.size()); ++i) {
            std::string error;
            if (ParseSimArg(static_cast<int>(argv.size()), argv.data(), i, options, error) !=
                TSimArg::Taken)
                return "ERR bad simulator option " + words[static_cast<std::size_t>(i)];
        }
        Sim = std::make_unique<TServerSim>(std::move(options));
        // The simulator's hang-up closes the master, so the port sees its device go.
        Serving = std::thread([this, fd = Master] {
            Sim->Serve(fd);
            if (Sim->HungUp())
                close(fd);
        });
        return "OK";
    }

    std::string Receive(std::size_t n, int ms)
    {
        std::string out;
        const long long end = NowMs() + ms;
        while (Master >= 0 && out.size() < n) {
            const long long left = end - NowMs();
            if (left <= 0)
                break;
            pollfd p{Master, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char buffer[512];
            const ssize_t got = read(Master, buffer, std::min(sizeof buffer, n - out.size()));
            if (got <= 0)
                break;
            out.append(buffer, static_cast<std::size_t>(got));
        }
        return out;
    }

    std::string Termios() const
    {
        termios t{};
        if (tcgetattr(Master, &t) != 0)
            return "ERR tcgetattr";
        static const std::pair<speed_t, int> speeds[] = {
            {B300, 300},     {B1200, 1200},   {B2400, 2400},   {B4800, 4800},    {B9600, 9600},
            {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
        int baud = 0;
        for (const auto& [code, rate] : speeds)
            if (cfgetospeed(&t) == code)
                baud = rate;
        const int size = (t.c_cflag & CSIZE) == CS5   ? 5
                         : (t.c_cflag & CSIZE) == CS6 ? 6
                         : (t.c_cflag & CSIZE) == CS7 ? 7
                                                      : 8;
        const char parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
        std::ostringstream out;
        out << "OK " << baud << ' ' << size << ' ' << ((t.c_cflag & CSTOPB) ? 2 : 1) << ' '
            << parity;
        return out.str();
    }

    std::string Lines() const
    {
        std::ifstream log(LogPath);
        std::string out = "OK ", line;
        bool first = true;
        while (std::getline(log, line)) {
            const auto dtr = line.find("DTR=");
            const auto rts = line.find("RTS=");
            if (dtr == std::string::npos || rts == std::string::npos)
                continue;
            if (!first)
                out += ',';
            first = false;
            out += line[dtr + 4];
            out += line[rts + 4];
        }
        return out;
    }

    std::string Serve(const std::string& line)
    {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "SEND") {
            std::string hex;
            in >> hex;
            const std::string bytes = Unhex(hex);
            if (Master < 0 ||
                write(Master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
                return "ERR write";
            return "OK";
        }
        if (command == "RECV") {
            std::size_t n = 0;
            int ms = 0;
            in >> n >> ms;
            return "OK " + Hex(Receive(n, ms));
        }
        if (command == "DRAIN") {
            while (!Receive(4096, 20).empty()) {
            }
            return "OK";
        }
        if (command == "TERMIOS")
            return Termios();
        if (command == "LINES")
            return Lines();
        if (command == "SERVE")
            return StartServing(in);
        if (command == "HANGUP") {
            if (Sim) {
                Sim->Stop();
                Serving.join();
            }
            if (Master >= 0 && !(Sim && Sim->HungUp()))
                close(Master);
            Master = -1;
            return "OK";
        }
        return "ERR unknown command";
    }
};

} // namespace

int main(int argc, char** argv)
{
    std::string link, dosdevice, preload;
    std::optional<std::string> serve;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (i + 1 >= argc)
            return 125;
        if (arg == "--link")
            link = argv[++i];
        else if (arg == "--dosdevice")
            dosdevice = argv[++i];
        else if (arg == "--preload")
            preload = argv[++i];
        else if (arg == "--serve")
            serve = argv[++i];
        else
            return 125;
    }
    if (link.empty() || dosdevice.empty() || preload.empty() || i + 1 >= argc) {
        std::fprintf(stderr, "usage: comharness --link PATH --dosdevice PATH --preload LIB "
                             "[--serve OPTIONS] -- command...\n");
        return 125;
    }
    char** command = argv + i + 1;

    // Serve the master from a session of our own whose controlling terminal is the pty, so that
    // Wine's open of the slave (without O_NOCTTY) cannot make it the wineserver's terminal, and a
    // hang-up signals only us. ctest may start us as a group leader: the work runs in a child.
    const pid_t server = fork();
    if (server < 0)
        Fail("fork");
    if (server > 0) {
        int status = 0;
        while (waitpid(server, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 125;
    }
    signal(SIGHUP, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
    if (setsid() < 0)
        Fail("setsid");
    // The simulator serves from a real-time thread (TServerSim::Serve), and so do the control
    // commands, with which a test program sends the answers it expects within its own timeouts;
    // a page either must first fetch from disk would cost the program's 50 ms all the same. The
    // program started below runs at the ordinary policy and does not inherit the lock.
    LockProcessMemory();
    ServeInRealTime();

    THarness harness;
    harness.Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (harness.Master < 0 || grantpt(harness.Master) != 0 || unlockpt(harness.Master) != 0)
        Fail("posix_openpt");
    const std::string slaveName = ptsname(harness.Master);
    const int slave = open(slaveName.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (slave < 0 || ioctl(slave, TIOCSCTTY, 0) != 0)
        Fail("controlling terminal " + slaveName);
    termios raw{};
    tcgetattr(harness.Master, &raw);
    cfmakeraw(&raw);
    tcsetattr(harness.Master, TCSANOW, &raw);
    // The slave stays open here too: the master does not see a hang-up before the port opens
    // the device or between its opens.

    // Point the mapped link at the new slave (atomically), then check the whole chain.
    const std::string temporary = link + ".new";
    unlink(temporary.c_str());
    if (symlink(slaveName.c_str(), temporary.c_str()) != 0 ||
        rename(temporary.c_str(), link.c_str()) != 0)
        Fail("symlink " + link);
    if (ReadLink(link) != slaveName || ReadLink(dosdevice) != link) {
        errno = 0;
        std::fprintf(stderr, "comharness: %s does not lead to %s through %s; not running\n",
                     dosdevice.c_str(), slaveName.c_str(), link.c_str());
        return 125;
    }

    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        Fail("control socket");

    if (serve) {
        std::istringstream options(*serve);
        const std::string answer = harness.StartServing(options);
        if (answer != "OK") {
            std::fprintf(stderr, "comharness: --serve: %s\n", answer.c_str());
            return 125;
        }
    }

    char logTemplate[] = "/tmp/srvdiag-modem-XXXXXX";
    const int logFd = mkstemp(logTemplate);
    if (logFd < 0)
        Fail("modem log");
    close(logFd);
    harness.LogPath = logTemplate;

    const pid_t child = fork();
    if (child < 0)
        Fail("fork");
    if (child == 0) {
        RunAsOrdinaryThread();
        setsid();
        setenv("SRVDIAG_PTY_CONTROL", std::to_string(ntohs(address.sin_port)).c_str(), 1);
        setenv("SRVDIAG_COM_LINK", link.c_str(), 1);
        setenv("SRVDIAG_MODEM_LOG", harness.LogPath.c_str(), 1);
        // The other end drives CTS and DSR; ring and carrier stay off.
        setenv("SRVDIAG_MODEM_INPUT", std::to_string(TIOCM_CTS | TIOCM_DSR).c_str(), 1);
        setenv("LD_PRELOAD", preload.c_str(), 1);
        execvp(command[0], command);
        Fail(std::string("exec ") + command[0]);
    }

    std::vector<int> clients;
    std::vector<std::string> pending;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        std::vector<pollfd> watched{{listener, POLLIN, 0}};
        for (const int client : clients)
            watched.push_back({client, POLLIN, 0});
        poll(watched.data(), watched.size(), 50);
        if (watched[0].revents & POLLIN) {
            const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                clients.push_back(client);
                pending.emplace_back();
            }
        }
        for (std::size_t c = 0; c < clients.size(); ++c) {
            if (!(watched[c + 1].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t got = read(clients[c], buffer, sizeof buffer);
            if (got <= 0) {
                close(clients[c]);
                clients[c] = -1;
                continue;
            }
            pending[c].append(buffer, static_cast<std::size_t>(got));
            std::size_t end;
            while ((end = pending[c].find('\n')) != std::string::npos) {
                std::string line = pending[c].substr(0, end);
                pending[c].erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                const std::string answer = harness.Serve(line) + "\n";
                [[maybe_unused]] const ssize_t sent =
                    write(clients[c], answer.data(), answer.size());
            }
        }
        for (std::size_t c = clients.size(); c-- > 0;) {
            if (clients[c] < 0) {
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(c));
                pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(c));
            }
        }
    }
    unlink(harness.LogPath.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 125;
}
