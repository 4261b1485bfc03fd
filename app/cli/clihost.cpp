#include "app/cli/clihost.h"

#include "app/languagetable.h"
#include "serial/comport.h"
#include "worker/serthread.h"
#include "worker/serverport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

TCliHost::TCliHost(const TCliArgs& args, std::unique_ptr<TStages> stages,
                   const std::string& iniPath, const std::string& tracePath, std::FILE* out,
                   bool terminal)
    : Args(args), Ini(iniPath), Trace(tracePath), Out(out), Progress(terminal),
      Port(MakeServerPort()), PendingStages(std::move(stages))
{
    WakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (WakeFd < 0)
        throw std::runtime_error("eventfd failed");
    WakeNotifier = std::make_unique<QSocketNotifier>(WakeFd, QSocketNotifier::Read);
    QObject::connect(WakeNotifier.get(), &QSocketNotifier::activated, [this] { ServeWorker(); });

    // The worker starts on page 4 with Next enabled, so its first pass parks; the first served
    // park moves it on to page 5 (Start).
    Worker = std::make_unique<TSerThread>(*this, std::move(PendingStages));
}

TCliHost::~TCliHost()
{
    Worker.reset(); // terminates and joins, serving its last calls
    WakeNotifier.reset();
    close(WakeFd);
}

std::string TCliHost::TracePath() const
{
    // The data folder of an installed copy may not exist yet.
    QDir().mkpath(QFileInfo(QFile::decodeName(Trace.c_str())).absolutePath());
    return Trace;
}

std::string TCliHost::TraceFileError() const
{
    return Worker ? Worker->TraceFileError() : std::string();
}

void TCliHost::WakeMainThread()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(WakeFd, &one, sizeof one);
}

void TCliHost::ServeWorker()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(WakeFd, &count, sizeof count);
    if (!Worker)
        return;
    Worker->ServeCalls();
    if (!Started && !Finishing && Worker->Suspended())
        Start();
}

void TCliHost::Start()
{
    Started = true;
    Worker->SetDumpFileName(Args.Output);
    NextOn.store(false);
    PageValue.store(5);
    ShowPage();
    Worker->Resume();
}

void TCliHost::ShowPage()
{
    const std::uint8_t page = PageValue.load();
    NextOn.store(page != 5 && page != 6);
    if (page < 4) {
        // Only a Back takes the worker below page 4, and only Interrupt asks for one.
        Print(Progress.Finish());
        Finish(130);
        return;
    }
    if (page == 4)
        return;
    std::string text = LangStr(Args.LangIndex, static_cast<std::uint8_t>(page + 6));
    for (char& c : text)
        if (c == '\r')
            c = '\n';
    Print(Progress.Finish() + text + "\n");
    if (page == 6)
        Print(Progress.Update(0));
    if (page >= 7)
        Finish(page - 7);
}

void TCliHost::ShowProgress(std::uint8_t percent)
{
    Print(Progress.Update(percent));
}

void TCliHost::Interrupt()
{
    if (Interrupted || Finishing)
        return;
    Interrupted = true;
    if (!Started) {
        Finish(130);
        return;
    }
    Worker->RequestBack();
    Worker->Resume();
}

void TCliHost::Finish(int code)
{
    if (Finishing)
        return;
    Finishing = true;
    // Runs from the event loop, not inside the worker's synchronized call that showed the page:
    // the worker waits for that call to return before it can end.
    QTimer::singleShot(0, QCoreApplication::instance(), [this, code] {
        Worker->Terminate();
        Worker->Resume();
        Worker->WaitFor();
        QCoreApplication::exit(code);
    });
}

void TCliHost::Print(const std::string& text)
{
    if (text.empty())
        return;
    std::fwrite(text.data(), 1, text.size(), Out);
    std::fflush(Out);
}
