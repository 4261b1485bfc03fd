#include "app/core/wizardmodel.h"

#include "app/core/languagetable.h"

TPageView WizardView(TPage page, std::uint8_t langIndex, bool fileBoxEmpty)
{
    const std::string pageText = LangStr(langIndex, PageTextEntry(page));

    TPageView view;
    view.LangGrpVisible = page < pgConnect;
    // The language page's caption is English in every language, so that anyone can find theirs.
    view.LangGrpCaption =
        page == pgLanguage ? "Language of this tool's user interface " : pageText + ' ';
    view.LangComboVisible = page == pgLanguage;
    view.FileTxtVisible = page == pgOutputFile;
    view.FileComboVisible = page == pgOutputFile;
    view.BrowseButVisible = page == pgOutputFile;
    // The worker parks wherever Next is enabled and works where it is not (pages 5 and 6).
    if (page == pgOutputFile)
        view.NextButEnabled = !fileBoxEmpty;
    else
        view.NextButEnabled = page != pgConnecting && page != pgReading;
    view.ShutdnChkVisible = page == pgOptions;
    view.PrevButVisible = page > pgLanguage;
    if (page > pgOptions)
        view.InstrTxtCaption = pageText;
    view.InstrTxtVisible = page > pgOptions;
    // Every page but the reading one resets the bar, so a second read-out starts it at 0.
    view.PrcBarVisible = page == pgReading;
    view.PrcBarReset = page != pgReading;
    switch (page) {
    case pgLanguage:
        view.Focus = fcLangCombo;
        break;
    case pgOutputFile:
        view.Focus = fcFileCombo;
        break;
    case pgOptions:
        view.Focus = fcShutdnChk;
        break;
    case pgConnect:
        // The worker is parked here, so the name it writes to is the one last typed on page 2.
        view.HandOverDumpFileName = true;
        break;
    case pgConnecting:
    case pgReading:
        view.Focus = fcCleared;
        break;
    default:
        view.Focus = fcNextBut;
        break;
    }
    // An attempt leaves the port open on its result pages; going back to the instruction or
    // further releases it for the next bring-up or for other programs.
    view.ClosePort = page < pgConnecting;
    view.ResumeWorker = true;
    return view;
}
