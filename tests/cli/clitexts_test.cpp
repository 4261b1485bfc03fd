// The command line's texts and checks that need no server: the progress line on a terminal of
// any width, the report's JSON and the choice of trace for explain.

#include "app/cli/clireport.h"
#include "app/cli/clitexts.h"
#include "app/cli/progressline.h"
#include "app/cli/tracechoice.h"
#include "tests/support/scratchdir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

void Touch(const std::filesystem::path& path, std::filesystem::file_time_type time)
{
    std::ofstream(path) << "x";
    std::filesystem::last_write_time(path, time);
}

} // namespace

// A terminal wraps a line that reaches its last column: the bar narrows with the terminal and
// gives way to the percentage alone where no useful bar fits.
TEST(ProgressLine, NeverReachesTheLastColumnOfTheTerminal)
{
    for (std::size_t columns : {0u, 12u, 17u, 18u, 30u, 47u, 48u, 80u, 200u}) {
        SCOPED_TRACE(columns);
        TProgressLine progress(columns);
        for (int percent : {0, 7, 50, 100}) {
            const std::string line = progress.Update(static_cast<std::uint8_t>(percent));
            ASSERT_EQ(line.front(), '\r');
            if (columns != 0) {
                EXPECT_LT(line.size() - 1, columns) << line;
            }
            EXPECT_EQ(line.substr(line.size() - 4), std::string(percent < 10    ? "  "
                                                                : percent < 100 ? " "
                                                                                : "") +
                                                        std::to_string(percent) + "%");
        }
    }
    EXPECT_EQ(TProgressLine(0).Update(100), "\r[" + std::string(40, '#') + "] 100%");
    EXPECT_EQ(TProgressLine(30).Update(50),
              "\r[" + std::string(11, '#') + std::string(11, '.') + "]  50%");
    EXPECT_EQ(TProgressLine(12).Update(50), "\r 50%");

    TProgressLine progress(80);
    EXPECT_FALSE(progress.Shown());
    progress.Update(3);
    EXPECT_TRUE(progress.Shown());
    EXPECT_EQ(progress.Finish(), "\n");
    EXPECT_FALSE(progress.Shown());
    EXPECT_EQ(progress.Finish(), "");
}

TEST(ReadReport, JsonCarriesItsSchemaTheDumpsDigestAndUnderRepeatItsNumber)
{
    TReadReport report;
    report.Outcome = "success";
    report.File = "out.DMP";
    report.Bytes = 1536;
    report.Sha256 = std::string(64, 'a');
    const std::string single = ReportJson(report);
    EXPECT_EQ(single.rfind("{\"schemaVersion\":1,\"outcome\":\"success\"", 0), 0u) << single;
    EXPECT_NE(single.find("\"sha256\":\"" + std::string(64, 'a') + "\""), std::string::npos);
    EXPECT_EQ(single.find("readOut"), std::string::npos);

    report.ReadOut = 3;
    EXPECT_EQ(ReportJson(report).rfind("{\"schemaVersion\":1,\"readOut\":3,", 0), 0u);

    // Nothing exchanged: no digest, and no trace to point to.
    TReadReport none;
    none.ExitCode = 2;
    none.Outcome = "server-not-found";
    none.TraceDue = true;
    none.TracePath = "srvdiag-cli.ERR";
    none.NothingExchanged = true;
    const std::string json = ReportJson(none);
    EXPECT_NE(json.find("\"sha256\":null"), std::string::npos) << json;
    EXPECT_NE(json.find("\"trace\":null"), std::string::npos) << json;
}

TEST(ReadReport, ExplainCommandQuotesATraceNameAShellWouldSplit)
{
    EXPECT_EQ(ExplainCommandText("x", true), "'srvdiag-cli explain'");
    EXPECT_EQ(ExplainCommandText("dumps/K7Q2-1.ERR", false),
              "'srvdiag-cli explain dumps/K7Q2-1.ERR'");
    EXPECT_EQ(ExplainCommandText("dumps/K7Q2[9 a.ERR", false),
              "'srvdiag-cli explain \"dumps/K7Q2[9 a.ERR\"'");
}

// explain without a file reads whichever trace was written last, the window's or the command
// line's; files that are not there, or no files, are passed over.
TEST(TraceChoice, NewestExistingTraceOfEitherProgramIsTaken)
{
    const TScratchDir folder;
    const auto now = std::filesystem::file_time_type::clock::now();
    const TTraceFile cli{folder.Path() / "srvdiag-cli.ERR", false};
    const TTraceFile window{folder.Path() / "srvdiag.ERR", true};
    const TTraceFile missing{folder.Path() / "elsewhere" / "srvdiag.ERR", true};
    EXPECT_FALSE(NewestTrace({cli, window, missing}));

    Touch(cli.Path, now - std::chrono::hours(2));
    Touch(window.Path, now - std::chrono::hours(1));
    auto newest = NewestTrace({cli, missing, window});
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->Path, window.Path);
    EXPECT_TRUE(newest->Window);

    Touch(cli.Path, now);
    newest = NewestTrace({cli, window});
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->Path, cli.Path);

    std::filesystem::remove(window.Path);
    std::filesystem::create_directory(window.Path); // a folder of that name is no trace
    Touch(cli.Path, now - std::chrono::hours(3));
    newest = NewestTrace({window, cli});
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->Path, cli.Path);

    // A trace given by name is read whatever is newer.
    EXPECT_EQ(ExplainTraceFor("given.ERR", folder.Path() / "srvdiag-cli", "own.ERR", 0, stderr),
              "given.ERR");
}

// Every message says the same in both languages: each value the English text shows, the Dutch
// text shows too.
TEST(CliTexts, BothLanguagesShowTheSameValues)
{
    for (int message = 0; message < cmMessageCount; ++message) {
        SCOPED_TRACE(message);
        const auto shown = [&](std::uint8_t lang) {
            const std::string text =
                CliText(static_cast<TCliMessage>(message), lang, {"\x01", "\x02", "\x03", "\x04"});
            std::string values;
            for (const char c : text)
                if (c >= '\x01' && c <= '\x04')
                    values += c;
            std::sort(values.begin(), values.end());
            return values;
        };
        EXPECT_EQ(shown(0), shown(1));
        EXPECT_NE(CliText(static_cast<TCliMessage>(message), 1),
                  CliText(static_cast<TCliMessage>(message), 0));
    }
}
