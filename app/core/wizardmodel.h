#pragma once

#include "worker/wizardpages.h"

#include <cstdint>
#include <optional>
#include <string>

// The control the page update gives the keyboard focus to.
enum TFocus : std::uint8_t {
    fcUnchanged, // the focus stays where it is
    fcLangCombo,
    fcFileCombo,
    fcShutdnChk,
    fcNextBut,
    fcCleared // no control is active
};

// What the page update makes of the window on one page, without any toolkit: which controls show,
// whether Next is enabled, the captions it sets, the focus, and what it does besides drawing. Each
// front end applies it to the controls it has, in the order of the fields. Captions are entries
// of the language table (byte strings, line breaks single carriage returns).
struct TPageView
{
    bool LangGrpVisible = false;
    std::string LangGrpCaption; // set on every page, the hidden group box's too
    bool LangComboVisible = false;
    bool FileTxtVisible = false;
    bool FileComboVisible = false;
    bool BrowseButVisible = false;
    bool NextButEnabled = false;
    bool ShutdnChkVisible = false;
    bool PrevButVisible = false;
    std::optional<std::string> InstrTxtCaption; // none: the label keeps its text
    bool InstrTxtVisible = false;
    bool PrcBarVisible = false;
    bool PrcBarReset = false; // set the progress bar's position to 0 (its position is kept if not)
    TFocus Focus = fcUnchanged;
    // Side effects, after the drawing:
    bool HandOverDumpFileName = false; // copy the file box's text to the worker's DumpFileName
    bool ClosePort = false;            // close the port if the worker left it open (Tag above 0)
    bool ResumeWorker = true;          // resume the worker if it is parked

    bool operator==(const TPageView&) const = default;
};

// The page update's view of page in language langIndex (0 English, 1 Nederlands); fileBoxEmpty
// tells whether the output-file box holds no text (Next is then disabled on page 2).
TPageView WizardView(TPage page, std::uint8_t langIndex, bool fileBoxEmpty);
