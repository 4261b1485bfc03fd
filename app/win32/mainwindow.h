#pragma once

#include "app/core/filepaths.h"
#include "worker/workerhost.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <windows.h>

class TComPort;
class TSerThread;
class TStages;
class TWindowDispatcher;

// The program's one window on Windows: a wizard whose page, Page, drives both the window and the
// worker. Page 1 language, 2 output file, 3 options, 4 connect instruction, 5 connecting,
// 6 reading, 7 success, 8 output-file error, 9 server not found, 10 communication error (0 until
// the first activation). ShowPage redraws everything from Page; the worker moves Page on from
// pages 5 and 6 and carries out Back. Built on USER32, GDI32, COMCTL32 and COMDLG32 alone.
class TMain final : public TWorkerHost
{
public:
    // The controls, by their identifiers. None is IDOK or IDCANCEL: the dialog manager turns
    // Escape into IDCANCEL, which must do nothing.
    enum TControl : int {
        ctInstrTxt = 100,
        ctLangGrp,
        ctFileTxt,
        ctLangCombo,
        ctShutdnChk,
        ctFileCombo,
        ctBrowseBut,
        ctPrcBar,
        ctBevel1,
        ctEndBut,
        ctPrevBut,
        ctNextBut
    };

    explicit TMain(HINSTANCE instance);
    ~TMain() override;
    TMain(const TMain&) = delete;
    TMain& operator=(const TMain&) = delete;

    // Creates and shows the window; false when the system refuses.
    bool Create(int showCommand);
    HWND Handle() const { return Window; }

    // ---- Handlers -------------------------------------------------------------------------------
    void DoAct();  // first activation: files, languages, settings, worker, page 1
    void DoNext(); // NextBut
    void DoPrev(); // PrevBut: the worker carries out the Back
    void DoQuit(); // EndBut
    void DoClos(); // closing, for any cause: settings, then the worker's end
    void DoLang(); // LangCombo changed: captions in the chosen language
    void DoBrowse();
    void FileComboChange();

    // ---- TWorkerHost ----------------------------------------------------------------------------
    std::uint8_t Page() const override { return PageValue.load(); }
    void SetPage(std::uint8_t page) override { PageValue.store(page); }
    bool NextEnabled() const override { return NextOn.load(); }
    std::filesystem::path IniPath() const override { return Paths.IniPath; }
    std::filesystem::path TracePath() const override;
    TComPort& SerIF() override { return *Port; }
    bool ShutdownChecked() const override { return ShutdownOn.load(); }
    void WakeMainThread() override;
    void ShowPage() override;
    void ShowProgress(std::uint8_t percent) override;
    void AddRecent() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id, int notification);
    // The button Enter clicks: the focused push button, else NextBut (the default button).
    int DefaultButton() const;

    // ---- Layout (mainlayout.cpp) ----------------------------------------------------------------
    void CreateLayout();
    // Positions, sizes and fonts for dpi pixels per inch, from the 96 dpi layout.
    void ApplyDpi(UINT dpi);
    HWND Control(TControl id) const { return GetDlgItem(Window, id); }
    int Scaled(int pixels) const { return MulDiv(pixels, static_cast<int>(Dpi), 96); }
    void SetInstruction(const std::string& text);
    void SetNextEnabled(bool enabled);
    void SetVisible(TControl id, bool visible);
    void FocusControl(HWND control); // nullptr: the window itself, no control active
    void RestoreFocus();

    // ---- Settings and recent files (mainsettings.cpp) -------------------------------------------
    void LoadSettings();
    void SaveSettings();
    std::wstring FileText() const; // the editable text of FileCombo, as UTF-16

    // ---- Placement (mainplacement.cpp) ----------------------------------------------------------
    void KeepOnScreen(); // a window restored where no screen is goes back into sight

public:
    // ---- Control list for tests (controllist.cpp) -----------------------------------------------
    // Writes every control's rectangle in client pixels, its visibility, tab stop and caption, in
    // tab order, to the file beside the settings file with the extension "CTL".
    void WriteControlList() const;

private:
    HINSTANCE Instance;
    HWND Window = nullptr;
    std::atomic<HWND> WakeTarget{nullptr}; // Window, for the worker's wake-up messages
    UINT Dpi = 96;
    HFONT Font = nullptr;          // "MS Sans Serif" 8 pt
    HFONT BoldFont = nullptr;      // the instruction label's, bold 12 pt
    std::string Instruction;       // InstrTxt's text, kept for a re-layout after a change of dpi
    std::string SaveTitle;         // the save dialog's title, set by DoLang
    bool Closed = false;           // DoClos has run
    HWND FocusedControl = nullptr; // the control with the focus, kept while inactive
    std::shared_ptr<TWindowDispatcher> Dispatcher;

    // The worker reads these from its own thread; it is declared last so that it ends first.
    std::atomic<std::uint8_t> PageValue{0};
    std::uint8_t LangIndex = 0;
    TFilePaths Paths; // fixed before the worker starts
    std::unique_ptr<TComPort> Port;
    std::atomic<bool> NextOn{true};      // copy of NextBut's enabled state
    std::atomic<bool> ShutdownOn{false}; // copy of ShutdnChk's check
    std::unique_ptr<TSerThread> WorkerThread;
};
