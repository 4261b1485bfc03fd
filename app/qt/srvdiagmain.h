#pragma once

#include "app/core/filepaths.h"
#include "app/qt/toolkittranslation.h"
#include "worker/workerhost.h"

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class TComPort;
class TSerialPlatform;
class TSerThread;
class TStages;

// The program's one window: a wizard whose page, Page, drives both the window and the worker.
// Page 1 language, 2 output file, 3 options, 4 connect instruction, 5 connecting, 6 reading,
// 7 success, 8 output-file error, 9 server not found, 10 communication error (0 until the first
// activation). ShowPage redraws everything from Page; the worker moves Page on from pages 5 and 6
// and carries out Back.
class TMain final : public QWidget, public TWorkerHost
{
    Q_OBJECT

public:
    // The real window: the stages that talk to the server, files beside the program.
    explicit TMain(QWidget* parent = nullptr);
    // For tests: given stages, and the program path the settings and trace files derive from.
    TMain(std::unique_ptr<TStages> stages, const QString& programPath, QWidget* parent = nullptr);
    // For tests: also the port's platform and the clock of the worker's pauses.
    TMain(std::unique_ptr<TStages> stages, const QString& programPath,
          std::unique_ptr<TSerialPlatform> platform, TClock& clock);
    ~TMain() override;

    // ---- Handlers -------------------------------------------------------------------------------
    void DoAct();  // first activation: files, languages, settings, worker, page 1
    void DoNext(); // NextBut
    void DoPrev(); // PrevBut: the worker carries out the Back
    void DoQuit(); // EndBut
    void DoLang(); // LangCombo changed: captions in the chosen language
    void DoBrowse();
    void FileComboChange();
    std::uint8_t LangIndex() const { return LangIndexValue; }
    TSerThread* Worker() const { return WorkerThread.get(); }
    const TFilePaths& FilePaths() const { return Paths; }

    // ---- TWorkerHost ----------------------------------------------------------------------------
    std::uint8_t Page() const override { return PageValue.load(); }
    void SetPage(std::uint8_t page) override { PageValue.store(page); }
    bool NextEnabled() const override { return NextOn.load(); }
    std::filesystem::path IniPath() const override;
    std::filesystem::path TracePath() const override;
    void PortOpenFailed(const std::string& deviceName, const EComError& error) override;
    TComPort& SerIF() override { return *Port; }
    bool ShutdownChecked() const override { return ShutdownOn.load(); }
    TClock& Clock() override { return *ClockRef; }
    void WakeMainThread() override;
    void ShowPage() override;
    void ShowProgress(std::uint8_t percent) override;
    void AddRecent() override;

    // ---- Controls -------------------------------------------------------------------------------
    QLabel* InstrTxt = nullptr;
    QGroupBox* LangGrp = nullptr;
    QLabel* FileTxt = nullptr;
    QComboBox* LangCombo = nullptr;
    QCheckBox* ShutdnChk = nullptr;
    QComboBox* FileCombo = nullptr;
    QPushButton* BrowseBut = nullptr;
    QProgressBar* PrcBar = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* EndBut = nullptr;
    QPushButton* PrevBut = nullptr;
    QPushButton* NextBut = nullptr;
    QFileDialog* SaveDlg = nullptr;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void ServeWorkerCalls(); // runs the worker's synchronized calls; queued by WakeMainThread

private:
    TMain(std::unique_ptr<TStages> stages, const QString& programPath,
          std::unique_ptr<TSerialPlatform> platform, TClock& clock, QWidget* parent);

    void CreateLayout();     // controls, positions, captions, tab order (mainlayout.cpp)
    void CreateSaveDialog(); // savedialog.cpp
    void DoClos();
    void LoadSettings();
    void KeepOnScreen(); // a window restored where no screen is goes back into sight
    void SaveSettings();
    // The output file name: the bytes behind the chosen recent file while its text is unedited
    // (a name that is not valid in the locale's encoding is shown changed), else the text typed
    // or browsed, encoded as the system encodes file names.
    std::string FileNameBytes() const;
    void SetNextEnabled(bool enabled);
    void SetInstruction(const QString& text);

    // The worker reads these from its own thread; it is declared last so that it ends first.
    std::atomic<std::uint8_t> PageValue{0};
    std::uint8_t LangIndexValue = 0;
    QString ProgramPath;
    TFilePaths Paths;                       // fixed before the worker starts
    std::unique_ptr<TStages> PendingStages; // handed to the worker on first activation
    TClock* ClockRef = &SteadyClock();
    std::unique_ptr<TComPort> Port;
    std::atomic<bool> NextOn{true};      // copy of NextBut's enabled state
    std::atomic<bool> ShutdownOn{false}; // copy of ShutdnChk's check
    TToolkitTranslation ToolkitTexts;    // the save dialog's own texts in the chosen language
    std::unique_ptr<TSerThread> WorkerThread;
};
