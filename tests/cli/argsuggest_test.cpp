#include "app/cli/argsuggest.h"
#include "app/cli/cliargs.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

TCliParse Parse(std::vector<std::string> args, std::size_t width = 0)
{
    args.insert(args.begin(), "srvdiag-cli");
    return ParseCliArgs(args, "1.0", width);
}

} // namespace

TEST(ArgSuggest, EditDistanceCountsSwapsAsOneAndStopsAtItsLimit)
{
    EXPECT_EQ(EditDistance("explain", "explain", 2), 0u);
    EXPECT_EQ(EditDistance("explian", "explain", 2), 1u); // neighbours swapped
    EXPECT_EQ(EditDistance("expain", "explain", 2), 1u);
    EXPECT_EQ(EditDistance("exlpian", "explain", 2), 2u);
    EXPECT_EQ(EditDistance("server", "explain", 2), 3u) << "limit + 1 for anything farther";
    EXPECT_EQ(EditDistance("", "list", 1), 2u);
}

// A mistyped command word where OUTPUT stands is refused before anything is read; a real file
// name (an extension, a folder, a word far from any command) is taken as OUTPUT.
TEST(ArgSuggest, CommandWordMistypedAsOutputIsRefusedWithTheWordMeant)
{
    for (const char* typo : {"explian", "expalin", "EXPLAIN", "xplain", "explainn"}) {
        SCOPED_TRACE(typo);
        const TCliParse parse = Parse({typo});
        EXPECT_EQ(parse.Action, TCliParse::caError);
        EXPECT_NE(parse.Text.find("did you mean explain?"), std::string::npos) << parse.Text;
    }
    EXPECT_NE(Parse({"lsit"}).Text.find("did you mean --list?"), std::string::npos);
    EXPECT_NE(Parse({"help"}).Text.find("did you mean --help?"), std::string::npos);
    for (const char* name : {"explian.DMP", "./explian", "dumps/explian", "test", "server", "ab"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Parse({name}).Action, TCliParse::caRun) << Parse({name}).Text;
    }
}

TEST(ArgSuggest, MistypedOptionNamesTheNearestRealOneAndNumbersSayTheirUnit)
{
    EXPECT_EQ(Parse({"out.DMP", "--lsit"}).Text, "Unknown option --lsit: did you mean --list?");
    EXPECT_EQ(Parse({"out.DMP", "--shutdwon"}).Text,
              "Unknown option --shutdwon: did you mean --shutdown?");
    EXPECT_EQ(Parse({"out.DMP", "--jsno=1"}).Text, "Unknown option --jsno: did you mean --json?");
    EXPECT_EQ(Parse({"out.DMP", "--frobnicate"}).Text, "Unknown option --frobnicate.");
    EXPECT_EQ(Parse({"out.DMP", "-x"}).Action, TCliParse::caError);
    EXPECT_EQ(Parse({"out.DMP", "--wait", "--timeout", "abc"}).Text,
              "--timeout wants a number of seconds from 1 to 86400, not 'abc'.");
    EXPECT_EQ(Parse({"out.DMP", "--wait", "--timeout=1m"}).Text,
              "--timeout wants a number of seconds from 1 to 86400, not '1m'.");
    EXPECT_NE(Parse({"{n}.DMP", "--repeat", "--count", "ten"}).Text.find("--count wants a number"),
              std::string::npos);
    EXPECT_EQ(UnknownOption({"--", "--lsit"}, {"--list"}), std::nullopt) << "after --, a name";
}

// The usage shows one OUTPUT and the other two forms; the help is wrapped between words at the
// width given, descriptions keeping their column where there is room.
TEST(ArgSuggest, HelpShowsOneOutputAndWrapsBetweenWordsAtTheWidth)
{
    const std::string wide = Parse({"--help"}, 0).Text;
    EXPECT_NE(wide.find("Usage: srvdiag-cli [OPTIONS] OUTPUT\n"), std::string::npos) << wide;
    EXPECT_EQ(wide.find("OUTPUT..."), std::string::npos);
    EXPECT_EQ(wide.find("OUTPUT ..."), std::string::npos);
    EXPECT_NE(wide.find("srvdiag-cli explain [TRACE]"), std::string::npos);

    for (std::size_t width : {40u, 60u, 80u, 120u}) {
        SCOPED_TRACE(width);
        const std::string help = Parse({"--help"}, width).Text;
        std::string words, wideWords;
        for (std::istringstream in(wide); in >> words;)
            wideWords += words + " ";
        std::string wrappedWords;
        for (std::istringstream in(help); in >> words;)
            wrappedWords += words + " ";
        EXPECT_EQ(wrappedWords, wideWords) << "no word split, lost or added";
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);)
            EXPECT_LE(line.size(), width) << line;
    }
    const std::string eighty = Parse({"--help"}, 80).Text;
    EXPECT_NE(eighty.find("  --json                      Print one JSON object"), std::string::npos)
        << eighty;
}
