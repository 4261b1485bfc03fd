#include "app/core/wizardcontroller.h"

#include "app/core/languagetable.h"
#include "app/core/openfailurehint.h"
#include "app/core/settingsfile.h"
#include "serial/comport.h"
#include "worker/serthread.h"
#include "worker/serverport.h"
#include "worker/stages.h"

TWizardController::TWizardController(TWizardView& view, std::unique_ptr<TStages> stages,
                                     std::function<TFilePaths()> findPaths,
                                     std::shared_ptr<TMainThreadDispatcher> dispatcher,
                                     std::unique_ptr<TSerialPlatform> platform, TClock& clock)
    : View(view), FindPaths(std::move(findPaths)), PendingStages(std::move(stages)),
      ClockRef(&clock), Port(MakeServerPort(std::move(platform)))
{
    Port->SetMainThreadDispatcher(std::move(dispatcher));
}

TWizardController::~TWizardController() = default;

void TWizardController::EndWorker()
{
    WorkerThread.reset(); // terminates and waits, serving the worker's last calls
}

void TWizardController::DoAct()
{
    if (PageValue.load() != pgNotStarted)
        return;
    Paths = FindPaths();
    std::vector<std::string> languages;
    for (std::uint8_t lang = 0;; ++lang) {
        std::string name = LangStr(lang, leName);
        if (name.empty())
            break;
        languages.push_back(std::move(name));
    }
    View.SetLanguages(languages);
    LoadSettings();
    // Every start begins in English; the language is not stored.
    DoLang(0);
    WorkerThread = std::make_unique<TSerThread>(*this, std::move(PendingStages));
    PageValue.store(pgLanguage);
    ShowPage();
}

void TWizardController::DoClos()
{
    if (Closed || PageValue.load() == pgNotStarted)
        return;
    Closed = true;
    SaveSettings();
    EndWorker();
}

void TWizardController::DoNext()
{
    const std::optional<TPage> page = WizardNext(PageValue.load());
    if (!page) {
        View.Close();
        return;
    }
    PageValue.store(*page);
    ShowPage();
}

void TWizardController::DoPrev()
{
    if (!WorkerThread)
        return;
    WorkerThread->RequestBack();
    WorkerThread->Resume(); // if parked, or about to park
}

void TWizardController::DoLang(std::uint8_t langIndex)
{
    LangIndexValue = langIndex;
    View.SetCaptions({LangStr(langIndex, leNextBut), LangStr(langIndex, lePrevBut),
                      LangStr(langIndex, leEndBut), LangStr(langIndex, leShutdnChk),
                      LangStr(langIndex, leFileTxt), LangStr(langIndex, leSaveDlg)});
}

void TWizardController::FileComboChange(bool fileBoxEmpty)
{
    const bool enabled = !fileBoxEmpty;
    View.SetNextEnabled(enabled);
    NextOn.store(enabled);
}

void TWizardController::ServeWorkerCalls()
{
    if (WorkerThread)
        WorkerThread->ServeCalls();
}

void TWizardController::ShowPage()
{
    const TPageView view = WizardView(PageValue.load(), LangIndexValue, View.FilePath().empty());
    NextOn.store(view.NextButEnabled);
    View.ShowPage(view);
    if (view.HandOverDumpFileName && WorkerThread)
        WorkerThread->SetDumpFileName(View.FilePath());
    if (view.ClosePort)
        ReleaseServerPort(*Port);
    if (view.ResumeWorker && WorkerThread)
        WorkerThread->Resume();
}

void TWizardController::AddRecent()
{
    const std::string name = View.FileName();
    if (name.empty())
        return; // the settings file could not hold it: the list stays as it is
    ::AddRecent(Recent, name, [this](const std::string& a, const std::string& b) {
        return View.SameFileName(a, b);
    });
    View.SetRecentFiles(Recent);
}

std::filesystem::path TWizardController::TracePath() const
{
    return TraceFolderMade(Paths.TracePath);
}

void TWizardController::PortOpenFailed(const std::string& deviceName, const EComError& error)
{
    const std::string hint = OpenFailureHint(deviceName, error);
    if (!hint.empty())
        View.ReportPortHint(hint);
}

void TWizardController::LoadSettings()
{
    const std::optional<TSettings> settings = LoadSettingsFile(Paths.IniPath);
    if (!settings) {
        View.RestorePosition(std::nullopt, std::nullopt);
        return;
    }
    View.RestorePosition(settings->Left, settings->Top);
    View.SetShutdownChecked(settings->Shutdown);
    ShutdownOn.store(settings->Shutdown);
    Recent = settings->RecentFiles;
    View.SetRecentFiles(Recent);
}

void TWizardController::SaveSettings()
{
    // A settings file that cannot be written is given up silently; closing goes on.
    const TWindowPos position = View.Position();
    SaveSettingsFile(Paths.IniPath,
                     FormatSettings(position.Left, position.Top, ShutdownOn.load(), Recent));
}
