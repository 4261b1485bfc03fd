#include "app/cli/cliargs.h"

#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace {

TCliParse Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "srvdiag-cli");
    return ParseCliArgs(args, "1.0");
}

} // namespace

// Every option the help lists is one the program takes: given with a value of the kind the help
// names, it runs, or prints what it was asked for.
TEST(CliArgs, EveryOptionTheHelpListsIsTaken)
{
    const TCliParse help = Parse({"--help"});
    ASSERT_EQ(help.Action, TCliParse::caHelp);
    std::istringstream lines(help.Text);
    std::size_t options = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  -", 0) != 0)
            continue;
        std::istringstream words(line);
        std::string names, kind;
        words >> names >> kind;
        const std::string name = names.substr(names.rfind(',') + 1);
        std::vector<std::string> args{"out.DMP", name};
        if (kind.find('|') != std::string::npos)
            args.push_back(kind.substr(0, kind.find('|')));
        // The options that go only with others, each with what it needs.
        const std::map<std::string, std::vector<std::string>> together{
            {"--list", {"--list"}},
            {"--identify", {"--list", "--identify"}},
            {"--port", {"out.DMP", "--port", "ttyACM0"}},
            {"--repeat", {"{n}.DMP", "--repeat"}},
            {"--timeout", {"out.DMP", "--wait", "--timeout", "5"}},
            {"--count", {"{n}.DMP", "--repeat", "--count", "2"}}};
        if (const auto found = together.find(name); found != together.end())
            args = found->second;
        SCOPED_TRACE(line);
        EXPECT_NE(Parse(args).Action, TCliParse::caError) << Parse(args).Text;
        ++options;
    }
    EXPECT_GE(options, 8u);
    EXPECT_EQ(help.Text.find("--help-all"), std::string::npos);
}

TEST(CliArgs, LanguageIsMarkedGivenOnlyWhenAsked)
{
    EXPECT_FALSE(Parse({"out.DMP"}).Args.LangGiven);
    const TCliParse dutch = Parse({"out.DMP", "--lang", "nl"});
    EXPECT_TRUE(dutch.Args.LangGiven);
    EXPECT_EQ(dutch.Args.LangIndex, 1);
}
