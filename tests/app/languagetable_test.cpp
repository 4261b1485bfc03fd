#include "app/core/languagetable.h"

#include <algorithm>
#include <gtest/gtest.h>

TEST(LanguageTable, Has32EntriesIn1249BytesEndingWithNul)
{
    EXPECT_EQ(LanguageTable.size(), 1249u);
    EXPECT_EQ(std::count(LanguageTable.begin(), LanguageTable.end(), '\0'), 32);
    EXPECT_EQ(LanguageTable.back(), '\0');
}

TEST(LanguageTable, LangStrFindsEntriesOfBothLanguagesAndNothingBeyond)
{
    EXPECT_EQ(LangStr(0, 1), "English");
    EXPECT_EQ(LangStr(1, 1), "Nederlands");
    EXPECT_EQ(LangStr(2, 1), "");
    EXPECT_EQ(LangStr(0, 2), "&Next =>");
    EXPECT_EQ(LangStr(1, 3), "<= &Terug");
    EXPECT_EQ(LangStr(0, 6), "&File");
    EXPECT_EQ(LangStr(1, 6), "&File");
    EXPECT_EQ(LangStr(0, 10), "Connect the server to your computer.\r\rClick Next.");
    EXPECT_EQ(LangStr(0, 16), "An error has occurred while\rreading from the server.\r\rClick Next "
                              "to retry.");
    EXPECT_EQ(LangStr(1, 16), "Er is een communicatie-fout opgetreden,\rhet programma zal nu een "
                              "herstart maken.\r\rKlik op Verder...");
}
