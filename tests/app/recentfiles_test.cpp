#include "app/core/recentfiles.h"

#include <gtest/gtest.h>

TEST(RecentFiles, StrToListSkipsEmptyPiecesAndAppends)
{
    TRecentFiles items{"old"};
    StrToList(items, "\tA\t\tB\t");
    EXPECT_EQ(items, (TRecentFiles{"old", "A", "B"}));
    StrToList(items, "");
    EXPECT_EQ(items.size(), 3U);
    EXPECT_EQ(ListToStr(items), "old\tA\tB");
    EXPECT_EQ(ListToStr({}), "");
}

TEST(RecentFiles, AddRecentPutsTheNameOnTopOnceAndKeepsTen)
{
    TRecentFiles items{"a", "b", "c", "d"};
    AddRecent(items, "c");
    EXPECT_EQ(items, (TRecentFiles{"c", "a", "b", "d"}));
    AddRecent(items, "B"); // case-insensitive match moves the item, stored as now typed
    EXPECT_EQ(items, (TRecentFiles{"B", "c", "a", "d"}));
    AddRecent(items, "b"); // already on top in another case: unchanged
    EXPECT_EQ(items, (TRecentFiles{"B", "c", "a", "d"}));
    AddRecent(items, "new");
    EXPECT_EQ(items.front(), "new");

    TRecentFiles twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.push_back("f" + std::to_string(i));
    AddRecent(twelve, "f3");
    EXPECT_EQ(twelve.size(), 10U);
    EXPECT_EQ(TRecentFiles(twelve.begin(), twelve.begin() + 4),
              (TRecentFiles{"f3", "f1", "f2", "f4"}));
    EXPECT_EQ(twelve.back(), "f10");
}

// Names are bytes: two names that differ only in a byte that is not valid UTF-8 are two files.
TEST(RecentFiles, NamesThatAreNotUtf8StayDistinctAndUnchanged)
{
    TRecentFiles items{"caf\xe9.dmp"};
    AddRecent(items, "caf\xe8.dmp");
    EXPECT_EQ(items, (TRecentFiles{"caf\xe8.dmp", "caf\xe9.dmp"}));
    TRecentFiles read;
    StrToList(read, ListToStr(items));
    EXPECT_EQ(read, items);
}
