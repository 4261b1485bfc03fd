// The real srvdiag on a real X server inside the virtual server, driven by key presses only:
// each scenario checks the page reached, the dump, the trace and the settings file byte for
// byte, and keeps a PNG screenshot of every page it saw under e2e-artifacts/<test>/.

#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2elines.h"
#include "tests/e2e/e2eprocess.h"
#include "tests/e2e/e2etrace.h"
#include "tests/e2e/e2ex11.h"
#include "tools/serversim/simoptions.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

// The settings file after closing: design position, the shutdown option, the recent files.
std::string Settings(bool shutdown, const std::string& recent)
{
    return std::string("192\r\n107\r\n") + (shutdown ? "S" : "") + "\r\n" + recent + "\r\n";
}

class GuiReadOut : public ::testing::Test
{
protected:
    struct TWalk
    {
        std::vector<std::string> ServerOptions;
        bool Dutch = false;
        bool Shutdown = false;
        std::string Output;
        std::function<bool()> Outcome;                 // true once the files of the end are there
        std::function<void()> DuringReadOut = nullptr; // keys to press once page 6 shows
        std::vector<std::string> Env = {};             // added to the wizard's environment
    };

    void SetUp() override
    {
        CopyProgram(SRVDIAG_BIN, Program);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        Artifacts = std::string(E2E_ARTIFACTS) + "/" + info->name();
        std::filesystem::remove_all(Artifacts);
    }

    // Starts the wizard in the virtual server and walks pages 1 to 4 and on to 5; returns the
    // final page's screenshot once the worker has left pages 5 and 6.
    std::string Walk(const TWalk& walk)
    {
        const std::vector<std::string> argv =
            VirtualServerCommand(VIRTUALSERVER_BIN, Lines, walk.ServerOptions, Program);
        std::vector<std::string> env = X.Env();
        env.insert(env.end(), walk.Env.begin(), walk.Env.end());
        App = std::make_unique<TProcess>(argv, env);
        Window = std::make_unique<TWizardWindow>(X, Artifacts);

        std::string page = Shot("", "01-language");
        if (walk.Dutch) {
            Window->Keys({"Down"});
            page = Shot(page, "01-language-nederlands");
        }
        Window->Keys({"Return"});
        page = Shot(page, "02-output-file");
        Window->Type(walk.Output);
        page = Shot(page, "02-output-file-named");
        Window->Keys({"Return"});
        page = Shot(page, "03-options");
        if (walk.Shutdown) {
            Window->Keys({"space"});
            page = Shot(page, "03-options-shutdown");
        }
        Window->Keys({"Return"});
        const std::string connect = Shot(page, "04-connect");
        Window->Keys({"Return"});
        return WaitForEnd(connect, walk);
    }

    // Watches pages 5 and 6 go by (keeping a screenshot of each when the machine is quick
    // enough to see it) until the outcome is on disk and a still page without the progress bar
    // shows.
    std::string WaitForEnd(const std::string& connect, const TWalk& walk)
    {
        // The pictures are looked at again every 150 ms (the X server tells nothing when they
        // change); the deadline only ends a hang.
        const auto deadline = std::chrono::steady_clock::now() + HangGuard;
        std::string connecting, last;
        bool readingSeen = false;
        while (std::chrono::steady_clock::now() < deadline) {
            // The worker writes its files before it shows the last page: a picture taken before
            // they were there is page 5 or 6, one taken after them may be the last page.
            const bool endedBefore = walk.Outcome();
            std::string image = Window->Capture();
            const bool endedAfter = walk.Outcome();
            const bool bar = TWizardWindow::ProgressBarShown(image);
            if (bar && !readingSeen) {
                readingSeen = true;
                Window->Save(image, "06-reading");
                if (walk.DuringReadOut)
                    walk.DuringReadOut();
            } else if (!bar && !endedAfter && connecting.empty() &&
                       !TWizardWindow::SamePage(image, connect)) {
                connecting = image;
                Window->Save(image, "05-connecting");
            } else if (!bar && endedBefore && TWizardWindow::SamePage(image, last) &&
                       !TWizardWindow::SamePage(image, connect) &&
                       !TWizardWindow::SamePage(image, connecting)) {
                return image;
            }
            last = std::move(image);
            std::this_thread::sleep_for(150ms);
        }
        ADD_FAILURE() << "the wizard did not reach its last page";
        return last;
    }

    std::string Shot(const std::string& previous, const std::string& name)
    {
        std::string image = Window->WaitForNewPage(previous);
        Window->Save(image, name);
        return image;
    }

    // Closes the window from a failure page (focus on Next): Tab to Back, Tab to Exit, Space.
    void ExitFromFailurePage() { Window->Keys({"Tab", "Tab", "space"}); }

    std::optional<int> WaitForExit() { return App->WaitFor(HangGuard); }
    std::optional<std::string> Trace() const { return ReadFileIfExists(Program + ".ERR"); }
    std::string SettingsFile() const { return ReadFile(Program + ".INI"); }
    bool TraceWritten() const { return Trace().has_value(); }

    TTempDir Dir;
    const std::string Program = Dir.Path() + "/srvdiag";
    const std::string Dump = Dir.Path() + "/out.DMP";
    const std::string Lines = Dir.Path() + "/lines";
    std::string Artifacts;
    TXServer X;
    std::unique_ptr<TProcess> App;
    std::unique_ptr<TWizardWindow> Window;
};

TEST_F(GuiReadOut, FullReadOut)
{
    const std::string end = Walk(
        {{}, false, false, Dump, [&] { return TraceWritten() || ReadFile(Dump).size() == 1536; }});
    Window->Save(end, "07-success");
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    EXPECT_FALSE(TraceWritten());
    Window->Keys({"Return"}); // Next on page 7 closes the window
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(SettingsFile(), Settings(false, Dump));
    ExpectBringUpLineSequence(ReadFile(Lines));
}

TEST_F(GuiReadOut, FullReadOutWithShutdown)
{
    const std::string end = Walk(
        {{}, false, true, Dump, [&] { return TraceWritten() || ReadFile(Dump).size() == 1536; }});
    Window->Save(end, "07-success");
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    Window->Keys({"Return"});
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(SettingsFile(), Settings(true, Dump));
}

TEST_F(GuiReadOut, DutchChosenOnPageOne)
{
    const std::string end = Walk(
        {{}, true, false, Dump, [&] { return TraceWritten() || ReadFile(Dump).size() == 1536; }});
    Window->Save(end, "07-success");
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    Window->Keys({"Return"});
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(SettingsFile(), Settings(false, Dump));
}

TEST_F(GuiReadOut, ServerNotFound)
{
    const std::string end =
        Walk({{"--no-server"}, false, false, Dump, [&] { return TraceWritten(); }});
    Window->Save(end, "09-server-not-found");
    EXPECT_EQ(Trace(), "");
    EXPECT_FALSE(ReadFileIfExists(Dump));
    ExitFromFailurePage();
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(SettingsFile(), Settings(false, ""));
}

TEST_F(GuiReadOut, WrongIdentification)
{
    const std::string end =
        Walk({{"--wrong-id"}, false, false, Dump, [&] { return TraceWritten(); }});
    Window->Save(end, "09-server-not-found");
    std::string identification = DefaultIdentification();
    identification[10] = 'B';
    EXPECT_EQ(Trace(), ConnectTrace(identification));
    ExitFromFailurePage();
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(SettingsFile(), Settings(false, ""));
}

TEST_F(GuiReadOut, LinkCheckEcho)
{
    const std::string end =
        Walk({{"--echo-link-check"}, false, false, Dump, [&] { return TraceWritten(); }});
    Window->Save(end, "10-communication-error");
    EXPECT_EQ(Trace(), ConnectTrace(DefaultIdentification()) + LinkCheckTrace(true));
    ExitFromFailurePage();
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(SettingsFile(), Settings(false, ""));
}

TEST_F(GuiReadOut, FailureAtBlock50)
{
    WriteFile(Dump, "an earlier dump");
    const std::string end = Walk({{"--fault", "silence", "--block", "50"}, false, false, Dump, [&] {
                                      return TraceWritten();
                                  }});
    Window->Save(end, "10-communication-error");
    EXPECT_EQ(ReadFile(Dump), "an earlier dump");
    EXPECT_EQ(Trace(), ReadOutTrace(50) + BlockRequestEntry(50) + "!");
    ExitFromFailurePage();
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(SettingsFile(), Settings(false, ""));
}

TEST_F(GuiReadOut, MissingOutputFolder)
{
    const std::string missing = Dir.Path() + "/missing/out.DMP";
    const std::string end = Walk({{}, false, false, missing, [&] { return TraceWritten(); }});
    Window->Save(end, "08-output-file-error");
    EXPECT_EQ(Trace(), ReadOutTrace());
    ExitFromFailurePage();
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(SettingsFile(), Settings(false, ""));
}

TEST_F(GuiReadOut, BackDuringTheReadOut)
{
    // At a real line's pace the read-out takes seconds, time enough to press Back in it.
    const std::string end = Walk({{"--baud", "9600"},
                                  false,
                                  false,
                                  Dump,
                                  [&] { return TraceWritten(); },
                                  [&] { Window->Keys({"alt+b"}); }});
    Window->Save(end, "03-options-after-back");
    ASSERT_TRUE(ReadFileIfExists(Dump)) << "Back replaces the dump with the blocks read so far";
    const std::string dump = ReadFile(Dump);
    EXPECT_LT(dump.size(), 1536u);
    EXPECT_EQ(dump.size() % 12, 0u);
    EXPECT_EQ(dump, PatternImage().substr(0, dump.size()));
    const std::string trace = Trace().value_or("");
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace, ReadOutTrace().substr(0, trace.size()));
    // Page 3 has the focus on the shutdown option: Tab to Next, Back, Exit.
    Window->Keys({"Tab", "Tab", "Tab", "space"});
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(SettingsFile(), Settings(false, ""));
}

// The window at 100 % and 200 % scaling: the same pages, twice the pixels, screenshots of each kept
// as artifacts (whether texts fit their controls is checked precisely in the window tests).
class GuiScale : public GuiReadOut, public ::testing::WithParamInterface<int>
{
};

TEST_P(GuiScale, WalksAWholeReadOutAtThisScale)
{
    const int scale = GetParam();
    TWalk walk{{}, false, false, Dump, [&] { return ReadFile(Dump).size() == 1536; }};
    walk.Env = {"QT_SCALE_FACTOR=" + std::to_string(scale)};
    const std::string end = Walk(walk);
    Window->Save(end, "07-success");
    EXPECT_EQ(TWizardWindow::ImageSize(end), std::make_pair(365 * scale, 228 * scale));
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    Window->Keys({"Return"});
    EXPECT_EQ(WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, GuiScale, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Scale" + std::to_string(info.param * 100);
                         });

} // namespace
