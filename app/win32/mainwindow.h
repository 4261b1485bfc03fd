#pragma once

#include "app/core/wizardcontroller.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

class TWindowDispatcher;

// The program's one window on Windows: the wizard's view on USER32, GDI32, COMCTL32 and COMDLG32
// alone. The wizard itself, and the worker's host, is its TWizardController; this class only
// translates to the system's controls.
class TMain final : public TWizardView
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
    void DoAct();                      // first activation: files, languages, settings, worker
    void DoNext() { Wizard.DoNext(); } // NextBut
    void DoPrev() { Wizard.DoPrev(); } // PrevBut: the worker carries out the Back
    void DoQuit() { Close(); }         // EndBut
    void DoClos() { Wizard.DoClos(); } // closing, for any cause: settings, then the worker's end
    void DoLang();                     // LangCombo changed: captions in the chosen language
    void DoBrowse();
    void FileComboChange();

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
    void SetVisible(TControl id, bool visible);
    void FocusControl(HWND control); // nullptr: the window itself, no control active
    void RestoreFocus();

    // ---- TWizardView ----------------------------------------------------------------------------
    void ShowPage(const TPageView& view) override; // the page update's drawing
    void SetNextEnabled(bool enabled) override;
    void ShowProgress(std::uint8_t percent) override;
    void SetLanguages(const std::vector<std::string>& names) override;
    void SetCaptions(const TCaptions& captions) override;
    void PostServeWorker() override;
    void Close() override { SendMessageA(Window, WM_CLOSE, 0, 0); }

    // ---- Settings and recent files (mainsettings.cpp) -------------------------------------------
    std::wstring FileText() const;         // the editable text of FileCombo, as UTF-16
    std::string FileName() const override; // ... in the code page, empty if it cannot hold it
    std::filesystem::path FilePath() const override;
    void SetRecentFiles(const TRecentFiles& items) override;
    bool SameFileName(const std::string& a, const std::string& b) const override;
    void SetShutdownChecked(bool checked) override;
    TWindowPos Position() const override;
    void RestorePosition(std::optional<int> left, std::optional<int> top) override;

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
    UINT Dpi = 96;
    HFONT Font = nullptr;          // "MS Sans Serif" 8 pt
    HFONT BoldFont = nullptr;      // the instruction label's, bold 12 pt
    std::string Instruction;       // InstrTxt's text, kept for a re-layout after a change of dpi
    std::string SaveTitle;         // the save dialog's title, set by DoLang
    HWND FocusedControl = nullptr; // the control with the focus, kept while inactive
    std::shared_ptr<TWindowDispatcher> Dispatcher;
    TWizardController Wizard; // last: its worker ends while the window exists
};
