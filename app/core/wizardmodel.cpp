#include "app/core/wizardmodel.h"

#include "app/core/languagetable.h"

TPageView WizardView(std::uint8_t page, std::uint8_t langIndex, bool fileBoxEmpty)
{
    // Entry Page + 6 of the language: the group captions of pages 2 and 3, the instruction texts
    // of pages 4 to 10.
    const std::string pageText = LangStr(langIndex, static_cast<std::uint8_t>(page + 6));

    TPageView view;
    view.LangGrpVisible = page < 4;
    // The language page's caption is English in every language, so that anyone can find theirs.
    view.LangGrpCaption = page == 1 ? "Language of this tool's user interface " : pageText + ' ';
    view.LangComboVisible = page == 1;
    view.FileTxtVisible = page == 2;
    view.FileComboVisible = page == 2;
    view.BrowseButVisible = page == 2;
    // The worker parks wherever Next is enabled and works where it is not (pages 5 and 6).
    if (page == 2)
        view.NextButEnabled = !fileBoxEmpty;
    else
        view.NextButEnabled = page != 5 && page != 6;
    view.ShutdnChkVisible = page == 3;
    view.PrevButVisible = page > 1;
    if (page > 3)
        view.InstrTxtCaption = pageText;
    view.InstrTxtVisible = page > 3;
    // Every page but the reading one resets the bar, so a second read-out starts it at 0.
    view.PrcBarVisible = page == 6;
    view.PrcBarReset = page != 6;
    switch (page) {
    case 1:
        view.Focus = fcLangCombo;
        break;
    case 2:
        view.Focus = fcFileCombo;
        break;
    case 3:
        view.Focus = fcShutdnChk;
        break;
    case 4:
        // The worker is parked here, so the name it writes to is the one last typed on page 2.
        view.HandOverDumpFileName = true;
        break;
    case 5:
    case 6:
        view.Focus = fcCleared;
        break;
    default:
        view.Focus = fcNextBut;
        break;
    }
    // An attempt leaves the port open on its result pages; going back to the instruction or
    // further releases it for the next bring-up or for other programs.
    view.ClosePort = page < 5;
    view.ResumeWorker = true;
    return view;
}
