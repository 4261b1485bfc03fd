#include "app/cli/outputname.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

namespace {

TEST(OutputName, PlaceholdersAreReplacedInTheFileNameOnly)
{
    EXPECT_EQ(ExpandOutputName("dumps/{id}-{n}-{time}.DMP", "K7Q2[9", 3, "20261208-231500"),
              std::filesystem::path("dumps/K7Q2[9-3-20261208-231500.DMP"));
    EXPECT_EQ(ExpandOutputName("{n}{n}.DMP", "X", 12, "T"), std::filesystem::path("1212.DMP"));
    EXPECT_EQ(ExpandOutputName("a{b}{ID}.DMP", "X", 1, "T"), std::filesystem::path("a{b}{ID}.DMP"))
        << "other braces stay as they are";
    EXPECT_EQ(ExpandOutputName("{id}/x.DMP", "X", 1, "T"), std::filesystem::path("{id}/x.DMP"));
}

// A new run numbers on after the dumps and traces an earlier one left; names that only look
// alike, and patterns without {n}, count nothing.
TEST(OutputName, HighestRunPresentCountsWhatTheSamePatternNamed)
{
    TScratchDir dir;
    for (const char* name : {"1.DMP", "7.ERR", "12.txt", "x3.DMP", "a(1)+5-K7Q2[9.DMP",
                             "a(1)+9.DMP", "1234567890123.DMP", "20.DMP.tmp"})
        WriteFile(dir.File(name), "");
    struct TCase
    {
        const char* Pattern;
        unsigned Highest;
    };
    const TCase cases[] = {
        {"{n}.DMP", 7},           // 7.ERR is the trace a failed read-out 7 left
        {"x{n}.DMP", 3},          //
        {"a(1)+{n}-{id}.DMP", 5}, // the pattern's own brackets and plus are plain text
        {"{id}.DMP", 0},          // no {n}: nothing to number
        {"b{n}.DMP", 0},          // none present
    };
    for (const TCase& c : cases)
        EXPECT_EQ(HighestRunPresent(dir.File(c.Pattern)), c.Highest) << c.Pattern;
    EXPECT_EQ(HighestRunPresent(dir.File("missing/{n}.DMP")), 0u);
}

TEST(OutputName, PatternsThatWouldFailOrOverwriteAreRefused)
{
    EXPECT_EQ(OutputPatternProblem("dumps/{id}.DMP", true), "");
    EXPECT_EQ(OutputPatternProblem("out.DMP", false), "");
    EXPECT_NE(OutputPatternProblem("{id}/out.DMP", false), "") << "folders must exist beforehand";
    EXPECT_NE(OutputPatternProblem("out.DMP", true), "") << "each dump would replace the last";
}

TEST(OutputName, IdIsTheSixCharactersAfterThePrefix)
{
    EXPECT_EQ(IdPlaceholderValue(std::string("\x11") + "VADOZIROZAK7Q2[9"), "K7Q2[9");
    EXPECT_EQ(IdPlaceholderValue(std::string("\x11") + "VADOZIROZAK7Q2["), "unknown");
    EXPECT_EQ(IdPlaceholderValue(""), "unknown");
}

TEST(OutputName, TraceGoesBesideTheDumpUnderItsName)
{
    EXPECT_EQ(TraceNameBeside("dumps/K7Q2[9.DMP"), std::filesystem::path("dumps/K7Q2[9.ERR"));
    EXPECT_EQ(TraceNameBeside("dumps/dump"), std::filesystem::path("dumps/dump.ERR"));
    EXPECT_EQ(TraceNameBeside("dumps/x.ERR"), std::filesystem::path("dumps/x.ERR.ERR"))
        << "never the dump itself";
}

TEST(OutputName, TimeIsFileNameSafe)
{
    const std::string text = FileNameTime(0);
    ASSERT_EQ(text.size(), 15u);
    EXPECT_EQ(text.find_first_not_of("0123456789-"), std::string::npos) << text;
}

} // namespace
