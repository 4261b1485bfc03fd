#include "app/core/wizardcontroller.h"
#include "serial/comerror.h"
#include "serial/comport.h"
#include "tests/support/scratchdir.h"
#include "tests/support/scriptstages.h"
#include "worker/serthread.h"
#include "worker/serverport.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace {

// A window without a toolkit: it records what the controller asks of it. The test's thread is
// the main thread; PostServeWorker only counts, and the test serves the worker itself.
class TFakeView final : public TWizardView
{
public:
    std::vector<TPageView> Pages;
    std::vector<std::uint8_t> Progress;
    std::vector<std::string> Languages;
    TCaptions Captions;
    bool NextOn = true;
    std::string FileBox;
    TRecentFiles Recent;
    bool Shutdown = false;
    TWindowPos Where{192, 107};
    std::optional<int> RestoredLeft, RestoredTop;
    int Closes = 0;
    std::vector<std::string> Hints;

    void ShowPage(const TPageView& view) override
    {
        Pages.push_back(view);
        NextOn = view.NextButEnabled;
    }
    void SetNextEnabled(bool enabled) override { NextOn = enabled; }
    void ShowProgress(std::uint8_t percent) override { Progress.push_back(percent); }
    void SetLanguages(const std::vector<std::string>& names) override { Languages = names; }
    void SetCaptions(const TCaptions& captions) override { Captions = captions; }
    std::string FileName() const override { return FileBox; }
    std::filesystem::path FilePath() const override { return FileBox; }
    void SetRecentFiles(const TRecentFiles& items) override
    {
        Recent = items;
        if (!items.empty())
            FileBox = items.front();
    }
    bool SameFileName(const std::string& a, const std::string& b) const override
    {
        return SameNameIgnoringAsciiCase(a, b);
    }
    void SetShutdownChecked(bool checked) override { Shutdown = checked; }
    TWindowPos Position() const override { return Where; }
    void RestorePosition(std::optional<int> left, std::optional<int> top) override
    {
        RestoredLeft = left;
        RestoredTop = top;
    }
    void PostServeWorker() override
    {
        std::lock_guard guard(Lock);
        ++Posts;
        Posted.notify_all();
    }
    void Close() override { ++Closes; }
    void ReportPortHint(const std::string& hint) override { Hints.push_back(hint); }

    // Blocks until the worker has posted since the last call.
    void WaitForPost()
    {
        std::unique_lock guard(Lock);
        Posted.wait(guard, [this] { return Posts > 0; });
        Posts = 0;
    }

private:
    std::mutex Lock;
    std::condition_variable Posted;
    int Posts = 0;
};

class WizardController : public ::testing::Test
{
protected:
    WizardController()
    {
        auto stages = std::make_unique<TScriptStages>();
        Stages = stages.get();
        Wizard = std::make_unique<TWizardController>(
            View, std::move(stages),
            [this] {
                ++PathLookups;
                return Paths;
            },
            nullptr);
    }
    ~WizardController() override { Wizard.reset(); }

    // Serves the worker's calls until it has parked again after its pass.
    void ServeUntilParked()
    {
        for (;;) {
            Wizard->ServeWorkerCalls();
            if (Wizard->Worker()->Suspended())
                return;
            View.WaitForPost();
        }
    }
    void Next()
    {
        Wizard->DoNext();
        ServeUntilParked();
    }
    void Back()
    {
        Wizard->DoPrev();
        ServeUntilParked();
    }
    void ActivateAndWalkToPage4(const std::string& name)
    {
        Wizard->DoAct();
        ServeUntilParked();
        Next();
        View.FileBox = name;
        Wizard->FileComboChange(false);
        Next();
        Next();
        ASSERT_EQ(Wizard->Page(), pgConnect);
    }
    std::string SettingsText() const { return ReadFile(Paths.IniPath); }

    TScratchDir Dir;
    TFilePaths Paths{Dir.File("srvdiag.INI"), Dir.File("data") / "srvdiag.ERR"};
    int PathLookups = 0;
    TFakeView View;
    TScriptStages* Stages = nullptr;
    std::unique_ptr<TWizardController> Wizard;
};

TEST_F(WizardController, FirstActivationLoadsOnceAndLaterOnesChangeNothing)
{
    WriteFile(Paths.IniPath, "100\r\n120\r\nS\r\nA.DMP\tB.DMP\r\n");
    Wizard->DoAct();
    ServeUntilParked();
    EXPECT_EQ(View.Languages, (std::vector<std::string>{"English", "Nederlands"}));
    EXPECT_EQ(View.RestoredLeft, 100);
    EXPECT_EQ(View.RestoredTop, 120);
    EXPECT_TRUE(View.Shutdown);
    EXPECT_TRUE(Wizard->ShutdownChecked()); // what the worker reads
    EXPECT_EQ(View.Recent, (TRecentFiles{"A.DMP", "B.DMP"}));
    EXPECT_EQ(View.Captions.NextBut, "&Next =>");
    EXPECT_EQ(Wizard->Page(), pgLanguage);
    ASSERT_FALSE(View.Pages.empty());
    EXPECT_EQ(View.Pages.front(), WizardView(pgLanguage, 0, false));

    TSerThread* const worker = Wizard->Worker();
    View.Recent.clear();
    Wizard->DoAct();
    EXPECT_EQ(Wizard->Worker(), worker);
    EXPECT_EQ(PathLookups, 1);
    EXPECT_TRUE(View.Recent.empty());

    // Dutch from the list: the page in Dutch, the group caption of page 1 still English.
    Wizard->DoLang(1);
    EXPECT_EQ(View.Captions.PrevBut, "<= &Terug");
    Next();
    EXPECT_EQ(View.Pages.back(), WizardView(pgOutputFile, 1, false));
}

TEST_F(WizardController, ClosingBeforeActivationWritesNothingAndClosingSavesOnce)
{
    Wizard->DoClos();
    EXPECT_FALSE(std::filesystem::exists(Paths.IniPath));

    WriteFile(Paths.IniPath, "1\r\n2\r\n\r\nX.DMP\r\n");
    Wizard->DoAct();
    ServeUntilParked();
    View.Where = {150, 160};
    Wizard->ShutdownChanged(true); // the user's click, as the view passes it on
    Wizard->DoClos();
    EXPECT_EQ(Wizard->Worker(), nullptr);
    EXPECT_EQ(SettingsText(), "150\r\n160\r\nS\r\nX.DMP\r\n");
    View.Where = {1, 2};
    Wizard->DoClos(); // a second close (the system's after Exit) writes nothing more
    EXPECT_EQ(SettingsText(), "150\r\n160\r\nS\r\nX.DMP\r\n");
}

TEST_F(WizardController, AReadOutHandsTheNameOverAddsItToTheTopAndNextOnSuccessCloses)
{
    WriteFile(Paths.IniPath, "1\r\n2\r\n\r\na.dmp\tOUT.dmp\tb.dmp\r\n");
    Wizard->DoAct();
    ServeUntilParked();
    View.FileBox.clear(); // the user empties the box the list filled
    Next();
    // Page 2 without a name: Next off, yet the worker parks there.
    EXPECT_FALSE(View.NextOn);
    EXPECT_FALSE(Wizard->NextEnabled());
    EXPECT_TRUE(Wizard->Worker()->Suspended());
    View.FileBox = "out.DMP";
    Wizard->FileComboChange(false);
    EXPECT_TRUE(View.NextOn);
    EXPECT_TRUE(Wizard->NextEnabled());
    Next();
    Next();
    EXPECT_EQ(Wizard->Worker()->DumpFileName(), "out.DMP");

    Stages->ScriptReadOut(TStageStep::Succeed().WithProgress(40).WithAddRecent());
    Next();
    EXPECT_EQ(Wizard->Page(), pgSuccess);
    EXPECT_EQ(View.Progress, (std::vector<std::uint8_t>{40}));
    // The same name in other letter case moves to the top, in the box's spelling.
    EXPECT_EQ(View.Recent, (TRecentFiles{"out.DMP", "a.dmp", "b.dmp"}));
    EXPECT_FALSE(std::filesystem::exists(Paths.TracePath));

    Wizard->DoNext();
    EXPECT_EQ(View.Closes, 1);
    EXPECT_EQ(Wizard->Page(), pgSuccess);
}

TEST_F(WizardController, AFailedAttemptWritesTheTraceKeepsThePortUntilPage4AndBackGoesTo3)
{
    ActivateAndWalkToPage4("out.DMP");
    Stages->ScriptConnect(TStageStep::Fail(srNotFound).WithTrace("<0\r-1\r"));
    Next();
    EXPECT_EQ(Wizard->Page(), pgNotFound);
    // The installed copy's data folder did not exist: the trace path makes it.
    EXPECT_EQ(ReadFile(Paths.TracePath), "<0\r-1\r");

    // The attempt left the port to the worker; the failure page keeps it, page 4 frees it.
    Wizard->SerIF().SetTag(tgWorkerHoldsPort);
    Wizard->ShowPage();
    ServeUntilParked();
    EXPECT_EQ(Wizard->SerIF().Tag(), tgWorkerHoldsPort);
    Next();
    EXPECT_EQ(Wizard->Page(), pgConnect);
    EXPECT_EQ(Wizard->SerIF().Tag(), tgPortFree);

    // A name changed after going back is the one handed over on page 4.
    Stages->ScriptConnect(TStageStep::Fail(srCommError));
    Next();
    EXPECT_EQ(Wizard->Page(), pgCommError);
    Back();
    EXPECT_EQ(Wizard->Page(), pgOptions);
    Back();
    View.FileBox = "other.DMP";
    Next();
    Next();
    EXPECT_EQ(Wizard->Worker()->DumpFileName(), "other.DMP");
}

TEST_F(WizardController, APortThatCannotBeOpenedIsExplainedOnlyWhenRefusedOrBusy)
{
    Wizard->PortOpenFailed("/dev/ttyACM0", EComError("Permission denied", 13, ekAccessDenied));
    Wizard->PortOpenFailed("/dev/ttyACM0", EComError("No such file", 2, ekNotFound));
    ASSERT_EQ(View.Hints.size(), 1U);
    EXPECT_NE(View.Hints[0].find("/dev/ttyACM0"), std::string::npos);
}

} // namespace
