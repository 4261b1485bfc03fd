#pragma once

#include "app/core/wizardcontroller.h"
#include "app/qt/toolkittranslation.h"

#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The program's one window on Linux: the wizard's view in Qt widgets. The wizard itself, and the
// worker's host, is its TWizardController; this class only translates to the toolkit.
class TMain final : public QWidget, public TWizardView
{
    Q_OBJECT

public:
    // The real window: the stages that talk to the server, files beside the program.
    TMain();
    // For tests: given stages, the program path the settings and trace files derive from, the
    // port's platform (the system's when none) and the clock of the worker's pauses.
    TMain(std::unique_ptr<TStages> stages, const QString& programPath,
          std::unique_ptr<TSerialPlatform> platform = nullptr, TClock& clock = SteadyClock());
    ~TMain() override;

    // ---- Handlers -------------------------------------------------------------------------------
    void DoAct() { Wizard.DoAct(); }   // first activation: files, languages, settings, worker
    void DoNext() { Wizard.DoNext(); } // NextBut
    void DoPrev() { Wizard.DoPrev(); } // PrevBut: the worker carries out the Back
    void DoQuit() { close(); }         // EndBut
    void DoClos() { Wizard.DoClos(); } // closing, for any cause
    void DoLang();                     // LangCombo changed: captions in the chosen language
    void DoBrowse();
    void FileComboChange();

    TWizardController& Controller() { return Wizard; }
    TPage Page() const { return Wizard.Page(); }
    TSerThread* Worker() const { return Wizard.Worker(); }
    TComPort& SerIF() { return Wizard.SerIF(); }

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
    void ServeWorkerCalls(); // runs the worker's synchronized calls; queued by PostServeWorker

private:
    // ---- TWizardView ----------------------------------------------------------------------------
    void ShowPage(const TPageView& view) override; // the page update's drawing
    void SetNextEnabled(bool enabled) override;
    void ShowProgress(std::uint8_t percent) override;
    void SetLanguages(const std::vector<std::string>& names) override;
    void SetCaptions(const TCaptions& captions) override;
    // The bytes behind the chosen recent file while its text is unedited (a name that is not
    // valid in the locale's encoding is shown changed), else the text typed or browsed, encoded
    // as the system encodes file names (mainsettings.cpp).
    std::string FileName() const override;
    std::filesystem::path FilePath() const override { return FileName(); }
    void SetRecentFiles(const TRecentFiles& items) override;
    bool SameFileName(const std::string& a, const std::string& b) const override;
    void SetShutdownChecked(bool checked) override;
    TWindowPos Position() const override { return {x(), y()}; }
    void RestorePosition(std::optional<int> left, std::optional<int> top) override;
    void PostServeWorker() override;
    void Close() override { close(); }
    void ReportPortHint(const std::string& hint) override;

    void CreateLayout();     // controls, positions, captions, tab order (mainlayout.cpp)
    void CreateSaveDialog(); // savedialog.cpp
    void KeepOnScreen();     // a window restored where no screen is goes back into sight
    void SetInstruction(const QString& text);

    TToolkitTranslation ToolkitTexts; // the save dialog's own texts in the chosen language
    TWizardController Wizard;         // last: its worker ends while the controls exist
};
