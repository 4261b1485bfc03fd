#pragma once

#include "app/core/filepaths.h"
#include "app/core/recentfiles.h"
#include "app/core/windowplacement.h"
#include "app/core/wizardmodel.h"
#include "serial/serialplatform.h"
#include "worker/workerhost.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TComPort;
class TMainThreadDispatcher;
class TSerThread;
class TStages;

// The captions the language choice gives the window's controls.
struct TCaptions
{
    std::string NextBut, PrevBut, EndBut, ShutdnChk, FileTxt, SaveDlg;
};

// What a front end's window does for the wizard, in its toolkit's terms. Called on the main
// thread, except where a method says otherwise.
class TWizardView
{
public:
    virtual ~TWizardView() = default;

    // Draws one page in the order of TPageView's fields; its side effects are the controller's.
    virtual void ShowPage(const TPageView& view) = 0;
    virtual void SetNextEnabled(bool enabled) = 0;
    virtual void ShowProgress(std::uint8_t percent) = 0;
    // Fills the language list, selects its first item and gives it the focus.
    virtual void SetLanguages(const std::vector<std::string>& names) = 0;
    virtual void SetCaptions(const TCaptions& captions) = 0;

    // The output file name in the file box, as the settings file keeps it and as the worker's path.
    virtual std::string FileName() const = 0;
    virtual std::filesystem::path FilePath() const = 0;
    // Replaces the file box's list and selects its first item, when there is one.
    virtual void SetRecentFiles(const TRecentFiles& items) = 0;
    // Whether two names are the same file to the user, as the platform compares names.
    virtual bool SameFileName(const std::string& a, const std::string& b) const = 0;
    // The user's own clicks go the other way, to TWizardController::ShutdownChanged.
    virtual void SetShutdownChecked(bool checked) = 0;
    virtual TWindowPos Position() const = 0;
    // Moves the window where the settings file put it, then back into sight if no screen shows it.
    virtual void RestorePosition(std::optional<int> left, std::optional<int> top) = 0;

    // Any thread: have the main thread call TWizardController::ServeWorkerCalls soon.
    virtual void PostServeWorker() = 0;
    virtual void Close() = 0;
    // Worker thread: the line explaining a port that cannot be opened (OpenFailureHint).
    virtual void ReportPortHint(const std::string& hint) { (void)hint; }
};

// The wizard behind every window and the worker's host: the page (TPage) and Next state, the
// worker's creation and end, what Next, Back, the language and closing do, the page update's side
// effects, the trace path, the settings file and the recent files. ShowPage redraws the view from
// Page; the worker moves Page on from pages 5 and 6 and carries out Back.
class TWizardController final : public TWorkerHost
{
public:
    // findPaths gives the file paths on the first activation; dispatcher serves the port.
    // The port runs on the given platform (the system's when none is given), and the worker's
    // pauses take their time from the given clock.
    TWizardController(TWizardView& view, std::unique_ptr<TStages> stages,
                      std::function<TFilePaths()> findPaths,
                      std::shared_ptr<TMainThreadDispatcher> dispatcher,
                      std::unique_ptr<TSerialPlatform> platform = nullptr,
                      TClock& clock = SteadyClock());
    ~TWizardController() override;
    TWizardController(const TWizardController&) = delete;
    TWizardController& operator=(const TWizardController&) = delete;

    // ---- Handlers (main thread) -----------------------------------------------------------------
    void DoAct();  // first activation: files, languages, settings, worker, page 1
    void DoNext(); // Next: the view's Close on page 7
    void DoPrev(); // Back: the worker carries it out
    void DoClos(); // closing, for any cause: settings, then the worker's end; once
    void DoLang(std::uint8_t langIndex);     // captions in the chosen language
    void FileComboChange(bool fileBoxEmpty); // the file box's text changed
    void ShutdownChanged(bool checked) { ShutdownOn.store(checked); }
    void ServeWorkerCalls(); // the worker's synchronized calls, on PostServeWorker
    void EndWorker();        // before the view goes: the worker's end, no settings

    std::uint8_t LangIndex() const { return LangIndexValue; }
    TSerThread* Worker() const { return WorkerThread.get(); }
    const TFilePaths& FilePaths() const { return Paths; }

    // ---- TWorkerHost ----------------------------------------------------------------------------
    TPage Page() const override { return PageValue.load(); }
    void SetPage(TPage page) override { PageValue.store(page); }
    bool NextEnabled() const override { return NextOn.load(); }
    std::filesystem::path TracePath() const override;
    TComPort& SerIF() override { return *Port; }
    bool ShutdownChecked() const override { return ShutdownOn.load(); }
    TClock& Clock() override { return *ClockRef; }
    void PortOpenFailed(const std::string& deviceName, const EComError& error) override;
    void WakeMainThread() override { View.PostServeWorker(); }
    void ShowPage() override;
    void ShowProgress(std::uint8_t percent) override { View.ShowProgress(percent); }
    void AddRecent() override;

private:
    void LoadSettings();
    void SaveSettings();

    TWizardView& View;
    std::function<TFilePaths()> FindPaths;
    std::unique_ptr<TStages> PendingStages; // handed to the worker on first activation
    TClock* ClockRef;
    bool Closed = false;

    // The worker reads these from its own thread; it is declared last so that it ends first.
    std::atomic<TPage> PageValue{pgNotStarted};
    std::uint8_t LangIndexValue = 0;
    TFilePaths Paths;    // fixed before the worker starts
    TRecentFiles Recent; // the file box's list, as loaded and as AddRecent left it
    std::unique_ptr<TComPort> Port;
    std::atomic<bool> NextOn{true};      // copy of NextBut's enabled state
    std::atomic<bool> ShutdownOn{false}; // ShutdnChk's check, as loaded and as the user set it
    std::unique_ptr<TSerThread> WorkerThread;
};
