#include "app/core/languagetable.h"
#include "app/core/wizardmodel.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>

void PrintTo(const TPageView& v, std::ostream* out)
{
    *out << "{group " << v.LangGrpVisible << " \"" << v.LangGrpCaption << "\", lang "
         << v.LangComboVisible << ", file " << v.FileTxtVisible << v.FileComboVisible
         << v.BrowseButVisible << ", next " << v.NextButEnabled << ", shutdown "
         << v.ShutdnChkVisible << ", back " << v.PrevButVisible << ", instruction "
         << v.InstrTxtVisible << " \"" << v.InstrTxtCaption.value_or("(kept)") << "\", bar "
         << v.PrcBarVisible << " reset " << v.PrcBarReset << ", focus " << int(v.Focus)
         << ", hand-over " << v.HandOverDumpFileName << ", close " << v.ClosePort << ", resume "
         << v.ResumeWorker << '}';
}

namespace {

// One row per page: what its page update shows and does, and where Next and Back lead from it.
struct TPageRow
{
    std::uint8_t Page;
    const char* Shown;       // the controls the update makes visible
    bool NextEnabled;        // with a name in the file box
    std::uint8_t GroupEntry; // language entry of the group caption; 0 the fixed English text
    std::uint8_t InstrEntry; // language entry of the instruction; 0 the label keeps its text
    TFocus Focus;
    const char* Effects; // of "reset" (progress bar to 0), "hand-over", "close"
    int Next;            // page after Next; -1 the window closes
    std::uint8_t Back;   // page after Back
};

constexpr TPageRow Pages[] = {
    {1, "LangGrp LangCombo", true, 0, 0, fcLangCombo, "reset close", 2, 1},
    {2, "LangGrp FileTxt FileCombo BrowseBut PrevBut", true, 8, 0, fcFileCombo, "reset close", 3,
     1},
    {3, "LangGrp ShutdnChk PrevBut", true, 9, 0, fcShutdnChk, "reset close", 4, 2},
    {4, "PrevBut InstrTxt", true, 10, 10, fcUnchanged, "reset hand-over close", 5, 3},
    {5, "PrevBut InstrTxt", false, 11, 11, fcCleared, "reset", 6, 3},
    {6, "PrevBut InstrTxt PrcBar", false, 12, 12, fcCleared, "", 7, 3},
    {7, "PrevBut InstrTxt", true, 13, 13, fcNextBut, "reset", -1, 3},
    {8, "PrevBut InstrTxt", true, 14, 14, fcNextBut, "reset", 4, 3},
    {9, "PrevBut InstrTxt", true, 15, 15, fcNextBut, "reset", 4, 3},
    {10, "PrevBut InstrTxt", true, 16, 16, fcNextBut, "reset", 4, 3},
};

bool Has(const char* list, const std::string& name)
{
    const std::string words = std::string(" ") + list + " ";
    return words.find(" " + name + " ") != std::string::npos;
}

TPageView Expected(const TPageRow& row, std::uint8_t lang, bool fileBoxEmpty)
{
    TPageView v;
    v.LangGrpVisible = Has(row.Shown, "LangGrp");
    v.LangGrpCaption = row.GroupEntry == 0 ? "Language of this tool's user interface "
                                           : LangStr(lang, row.GroupEntry) + " ";
    v.LangComboVisible = Has(row.Shown, "LangCombo");
    v.FileTxtVisible = Has(row.Shown, "FileTxt");
    v.FileComboVisible = Has(row.Shown, "FileCombo");
    v.BrowseButVisible = Has(row.Shown, "BrowseBut");
    v.NextButEnabled = row.NextEnabled && !(row.Page == 2 && fileBoxEmpty);
    v.ShutdnChkVisible = Has(row.Shown, "ShutdnChk");
    v.PrevButVisible = Has(row.Shown, "PrevBut");
    if (row.InstrEntry != 0)
        v.InstrTxtCaption = LangStr(lang, row.InstrEntry);
    v.InstrTxtVisible = Has(row.Shown, "InstrTxt");
    v.PrcBarVisible = Has(row.Shown, "PrcBar");
    v.PrcBarReset = Has(row.Effects, "reset");
    v.Focus = row.Focus;
    v.HandOverDumpFileName = Has(row.Effects, "hand-over");
    v.ClosePort = Has(row.Effects, "close");
    v.ResumeWorker = true;
    return v;
}

TEST(WizardModel, EveryPageInBothLanguagesShowsAndLeadsWhereTheWizardSays)
{
    for (const TPageRow& row : Pages) {
        const auto page = static_cast<TPage>(row.Page);
        for (std::uint8_t lang = 0; lang < 2; ++lang) {
            for (const bool empty : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "page " << int(row.Page) << ", language "
                                                  << int(lang) << (empty ? ", no file name" : ""));
                EXPECT_EQ(WizardView(page, lang, empty), Expected(row, lang, empty));
            }
        }
        const std::optional<TPage> next = WizardNext(page);
        EXPECT_EQ(next ? int(*next) : -1, row.Next) << "Next on page " << int(row.Page);
        EXPECT_EQ(WizardBack(page), row.Back) << "Back on page " << int(row.Page);
    }
    // The captions are the table's own texts, not empty look-ups.
    EXPECT_EQ(WizardView(pgOptions, 1, false).LangGrpCaption, "Opties ");
    EXPECT_EQ(WizardView(pgNotFound, 0, false).InstrTxtCaption,
              "Server could not be found.\rMake sure it is properly connected.\r\rPress Next to "
              "retry.");
}

} // namespace
