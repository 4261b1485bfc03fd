#include "app/cli/clihost.h"

#include "app/cli/cliconsole.h"
#include "app/cli/cliloop.h"
#include "app/cli/clitexts.h"
#include "app/cli/protocollog.h"
#include "app/cli/terminaltext.h"
#include "app/core/filepaths.h"
#include "serial/comerror.h"
#include "serial/comport.h"
#include "worker/serthread.h"
#include "worker/serverport.h"

TCliHost::TCliHost(TCliLoop& loop, const TCliArgs& args, const std::filesystem::path& dumpFile,
                   std::unique_ptr<TStages> stages, const std::filesystem::path& tracePath,
                   std::FILE* progress)
    : Loop(loop), Args(args), DumpFile(dumpFile), Trace(tracePath), ProgressOut(progress),
      Progress(progress != nullptr ? StandardErrorColumns() : 0), Port(MakeServerPort()),
      Log(args.Verbose ? std::make_unique<TProtocolLog>([&loop] { loop.Wake(); })
                       : std::make_unique<TProtocolLog>(nullptr)),
      PendingStages(std::move(stages))
{
    // Next is enabled, so the worker's first pass parks; the first served park starts it (Start).
    Worker = std::make_unique<TSerThread>(*this, std::move(PendingStages));
}

TCliHost::~TCliHost()
{
    Worker.reset(); // terminates and joins, serving its last calls
}

std::filesystem::path TCliHost::TracePath() const
{
    if (Hooks.TraceName)
        return Hooks.TraceName(Worker ? Worker->ServerIdText() : std::string());
    return TraceFolderMade(Trace);
}

void TCliHost::WakeMainThread()
{
    Loop.Wake();
}

void TCliHost::PortOpenFailed(const std::string& deviceName, const EComError& error)
{
    if (error.Kind() != ekAccessDenied && error.Kind() != ekBusy)
        return;
    std::lock_guard guard(OpenFailureLock);
    RunFacts.RefusedPort = deviceName;
    RunFacts.RefusedReason = error.what();
    RunFacts.PortBusy = error.Kind() == ekBusy;
}

long TCliHost::WriteDump(const std::filesystem::path& name, const char* data, std::size_t count,
                         std::string& error)
{
    if (Hooks.WriteDump)
        return Hooks.WriteDump(data, count, error);
    return TWorkerHost::WriteDump(name, data, count, error);
}

TExchangeObserver* TCliHost::ExchangeObserver()
{
    return Log.get();
}

void TCliHost::ServeWorker()
{
    if (Args.Verbose)
        PrintLog(Log->TakeLines());
    if (!Worker)
        return;
    Worker->ServeCalls();
    if (!Started && !Finishing && Worker->Suspended())
        Start();
}

int ExitCodeFor(TStageResult result)
{
    constexpr int codes[] = {ExitSuccess, ExitFileError, ExitNotFound, ExitCommError};
    return codes[result];
}

void TCliHost::Start()
{
    Started = true;
    Worker->SetDumpFileName(DumpFile);
    // The connect stage, where the worker works (Next off) and moves on by itself.
    PageValue.store(pgConnecting);
    NextOn.store(false);
    ConnectStart = TClock::now();
    Print(CliText(cmConnecting, Args.LangIndex) + "\n");
    Worker->Resume();
}

void TCliHost::ShowPage()
{
    const TPage page = PageValue.load();
    if (page < pgConnect) {
        // Only a Back takes the worker back, and only Interrupt asks for one. The worker closes
        // a port it left open on its way out.
        Finish(ExitInterrupted);
        return;
    }
    if (page == pgReading) {
        ReadStart = TClock::now();
        RunFacts.ReadOutRan = true;
        Print(Progress.Update(0));
    } else {
        // A result page: the worker parks there (Next on) until Finish ends it.
        NextOn.store(true);
        Finish(ExitCodeFor(PageResult(page)));
    }
    Worker->Resume();
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
        Finish(ExitInterrupted);
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
    const TClock::time_point end = TClock::now();
    if (Started)
        RunFacts.ConnectTime = std::chrono::duration_cast<std::chrono::milliseconds>(
            (RunFacts.ReadOutRan ? ReadStart : end) - ConnectStart);
    if (RunFacts.ReadOutRan)
        RunFacts.ReadTime = std::chrono::duration_cast<std::chrono::milliseconds>(end - ReadStart);
    Print(Progress.Finish());
    // Runs from the loop, not inside the worker's synchronized call that showed the page: the
    // worker waits for that call to return before it can end.
    Loop.Post([this, code] {
        Worker->Terminate();
        Worker->Resume();
        Worker->WaitFor();
        const std::string end = Log->TakeLines() + Log->Finish();
        if (Args.Verbose)
            PrintLog(end);
        RunFacts.Code = code;
        RunFacts.Trace = Worker->Trace; // the thread has ended
        RunFacts.ServerId = Worker->ServerIdText();
        RunFacts.DumpError = Worker->DumpFileError();
        RunFacts.TraceError = Worker->TraceFileError();
        RunFacts.Verdict = Log->Verdict();
        if (Hooks.Finished)
            Hooks.Finished(code);
        else
            Loop.Quit(code);
    });
}

void TCliHost::PrintLog(const std::string& lines)
{
    // Before the log: a progress bar still drawn on the terminal ends its line.
    if (lines.empty())
        return;
    Print(Progress.Finish());
    WriteText(stderr, TerminalLines(lines));
    std::fflush(stderr);
}

void TCliHost::Print(const std::string& text)
{
    if (text.empty() || ProgressOut == nullptr)
        return;
    WriteText(ProgressOut, text);
    std::fflush(ProgressOut);
}
