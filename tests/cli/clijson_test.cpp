#include "app/cli/clijson.h"
#include "app/cli/clitexts.h"

#include <gtest/gtest.h>
#include <map>

// A file name is bytes and the identification text holds a control byte: the JSON is valid
// whatever they hold.
TEST(CliJson, AnyBytesGiveAValidString)
{
    const std::pair<std::string, std::string> cases[] = {
        {"out.DMP", R"("out.DMP")"},
        {"a\"b\\c", R"("a\"b\\c")"},
        {"\x11VADOZIROZA\n\x7f", R"("\u0011VADOZIROZA\u000a\u007f")"},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\""},               // UTF-8 passes through
        {"caf\xe9", "\"caf\xc3\xa9\""},                   // Latin-1 becomes its character
        {"\xe2\x82", "\"\xc3\xa2\xc2\x82\""},             // a cut sequence byte by byte
        {"\xed\xa0\x80", "\"\xc3\xad\xc2\xa0\xc2\x80\""}, // no surrogates
    };
    for (const auto& [bytes, json] : cases)
        EXPECT_EQ(JsonString(bytes), json) << bytes;
}

TEST(CliTexts, LocaleDecidesInThePosixOrder)
{
    using TEnv = std::map<std::string, std::string>;
    const std::pair<TEnv, int> cases[] = {
        {{}, 0},
        {{{"LANG", "nl_NL.UTF-8"}}, 1},
        {{{"LANG", "nl_NL.UTF-8"}, {"LC_MESSAGES", "en_US"}}, 0},
        {{{"LANG", "en_US"}, {"LC_MESSAGES", "nl_BE"}}, 1},
        {{{"LC_ALL", "C"}, {"LC_MESSAGES", "nl_BE"}}, 0},
        {{{"LC_ALL", ""}, {"LANG", "nl"}}, 1}, // an empty variable counts as unset
    };
    for (const auto& [env, language] : cases) {
        const auto lookup = [&env](const char* name) -> const char* {
            const auto found = env.find(name);
            return found == env.end() ? nullptr : found->second.c_str();
        };
        EXPECT_EQ(LanguageFromLocale(lookup), language) << env.size();
    }
}
