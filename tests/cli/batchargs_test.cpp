#include "app/cli/cliargs.h"

#include <gtest/gtest.h>

namespace {

TCliParse Parse(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "srvdiag-cli");
    return ParseCliArgs(arguments, "1.0");
}

TEST(BatchArguments, ListRepeatAndWaitAreTaken)
{
    const TCliParse list = Parse({"--list", "--identify", "--port", "COM5"});
    ASSERT_EQ(list.Action, TCliParse::caRun) << list.Text;
    EXPECT_TRUE(list.Args.List);
    EXPECT_TRUE(list.Args.Identify);
    EXPECT_EQ(list.Args.Port, "COM5");

    const TCliParse repeat =
        Parse({"--repeat", "--count", "3", "--timeout", "60", "dumps/{id}.DMP"});
    ASSERT_EQ(repeat.Action, TCliParse::caRun) << repeat.Text;
    EXPECT_TRUE(repeat.Args.Repeat);
    EXPECT_EQ(repeat.Args.Count, 3u);
    EXPECT_EQ(repeat.Args.TimeoutSeconds, 60u);
    EXPECT_EQ(repeat.Args.Output, std::filesystem::path("dumps/{id}.DMP"));
}

TEST(BatchArguments, OptionsThatDoNotGoTogetherAreBadArguments)
{
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--list", "out.DMP"},
                                                {"--list", "--repeat"},
                                                {"--identify", "out.DMP"},
                                                {"--count", "2", "out.DMP"},
                                                {"--timeout", "5", "out.DMP"},
                                                {"--repeat", "out.DMP"},
                                                {"--repeat", "--count", "0", "{n}.DMP"},
                                                {"{id}/out.DMP"}}) {
        const TCliParse parse = Parse(bad);
        EXPECT_EQ(parse.Action, TCliParse::caError) << bad.front() << " " << bad.back();
        EXPECT_FALSE(parse.Text.empty());
    }
}

} // namespace
