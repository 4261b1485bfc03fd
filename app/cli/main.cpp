// srvdiag-cli: reads a server's memory from the terminal, with the same worker, stages, texts
// and trace file as the wizard.

#include "app/cli/cliargs.h"
#include "app/cli/clihost.h"
#include "app/filepaths.h"
#include "worker/devicelister.h"
#include "worker/stages.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// Ctrl+C as a readable descriptor, so that the event loop takes it like any other event. SIGINT
// stays blocked in every thread while this exists; it must be made before the worker thread.
class TInterruptWatch
{
public:
    TInterruptWatch()
    {
        sigemptyset(&Signals);
        sigaddset(&Signals, SIGINT);
        pthread_sigmask(SIG_BLOCK, &Signals, nullptr);
        Fd = signalfd(-1, &Signals, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~TInterruptWatch()
    {
        if (Fd >= 0)
            close(Fd);
    }
    TInterruptWatch(const TInterruptWatch&) = delete;
    TInterruptWatch& operator=(const TInterruptWatch&) = delete;

    int Descriptor() const { return Fd; }
    void Consume() const
    {
        signalfd_siginfo info{};
        while (read(Fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
    }
    // A second Ctrl+C ends the program at once. The worker thread keeps SIGINT blocked, so the
    // signal goes to the main thread with its default action.
    void Release() const { pthread_sigmask(SIG_UNBLOCK, &Signals, nullptr); }

private:
    sigset_t Signals{};
    int Fd = -1;
};

// A reader of the texts that goes away (`srvdiag-cli out.DMP | head -c1`) must not end the
// read-out: writing to it then fails with EPIPE, which the texts ignore, instead of SIGPIPE
// killing the program before the dump is written. Set before any thread starts.
void IgnoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

// Where the trace of a failed read-out is, or why there is none.
void ReportTrace(const std::string& path, const std::string& error)
{
    if (error.empty())
        std::fprintf(stderr, "srvdiag-cli: trace written to %s\n", path.c_str());
    else
        std::fprintf(stderr, "srvdiag-cli: trace could not be written to %s: %s\n", path.c_str(),
                     error.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    IgnoreBrokenPipe();
    TInterruptWatch interrupt;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("srvdiag-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    const TCliParse parse = ParseCliArgs(QCoreApplication::arguments());
    switch (parse.Action) {
    case TCliParse::caHelp:
    case TCliParse::caVersion:
        std::fputs(parse.Text.toLocal8Bit().constData(), stdout);
        return 0;
    case TCliParse::caError:
        std::fprintf(stderr, "srvdiag-cli: %s\nTry 'srvdiag-cli --help' for more information.\n",
                     parse.Text.toLocal8Bit().constData());
        return ExitUsage;
    case TCliParse::caRun:
        break;
    }

    // Trace file beside the program (srvdiag-cli.ERR), or in the user's data folder for an
    // installed copy; the settings file itself is never touched.
    const TFilePaths paths = ProgramFilePaths(QCoreApplication::applicationFilePath());
    TCliHost host(parse.Args, MakeSerialStages(MakeUdevDeviceLister()),
                  QFile::encodeName(paths.IniPath).toStdString(),
                  QFile::encodeName(paths.TracePath).toStdString(), stdout,
                  isatty(STDOUT_FILENO) != 0);

    QSocketNotifier notifier(interrupt.Descriptor(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        interrupt.Consume();
        notifier.setEnabled(false);
        interrupt.Release();
        host.Interrupt();
    });

    const int code = QCoreApplication::exec();
    if (code >= 1 && code <= 3)
        ReportTrace(QFile::encodeName(paths.TracePath).toStdString(), host.TraceFileError());
    return code;
}
