#include "app/cli/clihost.h"

#include "app/cli/cliloop.h"
#include "app/languagetable.h"
#include "app/openfailurehint.h"
#include "app/wizardmodel.h"
#include "serial/comport.h"
#include "worker/serthread.h"
#include "worker/serverport.h"

#include <system_error>

TCliHost::TCliHost(TCliLoop& loop, const TCliArgs& args, std::unique_ptr<TStages> stages,
                   const std::filesystem::path& iniPath, const std::filesystem::path& tracePath,
                   std::FILE* out, bool terminal)
    : Loop(loop), Args(args), Ini(iniPath), Trace(tracePath), Out(out), Progress(terminal),
      Port(MakeServerPort()), PendingStages(std::move(stages))
{
    // The worker starts on page 4 with Next enabled, so its first pass parks; the first served
    // park moves it on to page 5 (Start).
    Worker = std::make_unique<TSerThread>(*this, std::move(PendingStages));
}

TCliHost::~TCliHost()
{
    Worker.reset(); // terminates and joins, serving its last calls
}

std::filesystem::path TCliHost::TracePath() const
{
    if (Hooks.TraceName)
        return Hooks.TraceName(ServerIdText());
    // The data folder of an installed copy may not exist yet.
    std::error_code ignored;
    std::filesystem::create_directories(Trace.parent_path(), ignored);
    return Trace;
}

std::string TCliHost::ServerIdText() const
{
    return Worker ? Worker->ServerIdText() : std::string();
}

std::string TCliHost::TraceFileError() const
{
    return Worker ? Worker->TraceFileError() : std::string();
}

void TCliHost::WakeMainThread()
{
    Loop.Wake();
}

void TCliHost::PortOpenFailed(const std::string& deviceName, const EComError& error)
{
    const std::string hint = OpenFailureHint(deviceName, error);
    std::fputs(hint.c_str(), stderr);
}

void TCliHost::ServeWorker()
{
    if (!Worker)
        return;
    Worker->ServeCalls();
    if (!Started && !Finishing && Worker->Suspended())
        Start();
}

void TCliHost::Start()
{
    Started = true;
    ShowPage(); // page 4, the connect instruction: hands the file name over
    PageValue.store(*WizardNext(PageValue.load())); // Next at once: page 5
    ShowPage();
}

void TCliHost::ShowPage()
{
    const std::uint8_t page = PageValue.load();
    const TPageView view = WizardView(page, Args.LangIndex, Args.Output.empty());
    NextOn.store(view.NextButEnabled);
    if (view.HandOverDumpFileName)
        Worker->SetDumpFileName(Args.Output);
    if (page < 4) {
        // Only a Back takes the worker below page 4, and only Interrupt asks for one. The worker
        // closes a port it left open on its way out.
        Print(Progress.Finish());
        Finish(130);
        return;
    }
    if (page == 4)
        return; // nothing to print, and the worker stays parked for the Next that follows
    if (view.InstrTxtCaption) {
        std::string text = *view.InstrTxtCaption;
        for (char& c : text)
            if (c == '\r')
                c = '\n';
        Print(Progress.Finish() + text + "\n");
    }
    if (page == 6 && Hooks.DumpName)
        Worker->SetDumpFileName(Hooks.DumpName(Worker->ServerIdText()));
    if (view.PrcBarVisible)
        Print(Progress.Update(0));
    if (page >= 7)
        Finish(page - 7);
    if (view.ResumeWorker)
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
    // Runs from the loop, not inside the worker's synchronized call that showed the page: the
    // worker waits for that call to return before it can end.
    Loop.Post([this, code] {
        Worker->Terminate();
        Worker->Resume();
        Worker->WaitFor();
        if (Hooks.Finished)
            Hooks.Finished(code);
        else
            Loop.Quit(code);
    });
}

void TCliHost::Print(const std::string& text)
{
    if (text.empty() || Out == nullptr)
        return;
    std::fwrite(text.data(), 1, text.size(), Out);
    std::fflush(Out);
}
