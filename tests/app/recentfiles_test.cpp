#include "app/recentfiles.h"

#include <gtest/gtest.h>

TEST(RecentFiles, StrToListSkipsEmptyPiecesAndAppends)
{
    QStringList items{"old"};
    StrToList(items, "\tA\t\tB\t");
    EXPECT_EQ(items, (QStringList{"old", "A", "B"}));
    StrToList(items, "");
    EXPECT_EQ(items.size(), 3);
    EXPECT_EQ(ListToStr(items), "old\tA\tB");
    EXPECT_EQ(ListToStr({}), "");
}

TEST(RecentFiles, AddRecentPutsTheNameOnTopOnceAndKeepsTen)
{
    QStringList items{"a", "b", "c", "d"};
    AddRecent(items, "c");
    EXPECT_EQ(items, (QStringList{"c", "a", "b", "d"}));
    AddRecent(items, "B"); // case-insensitive match moves the item, stored as now typed
    EXPECT_EQ(items, (QStringList{"B", "c", "a", "d"}));
    AddRecent(items, "b"); // already on top in another case: unchanged
    EXPECT_EQ(items, (QStringList{"B", "c", "a", "d"}));
    AddRecent(items, "new");
    EXPECT_EQ(items.first(), "new");

    QStringList twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.append(QString("f%1").arg(i));
    AddRecent(twelve, "f3");
    EXPECT_EQ(twelve.size(), 10);
    EXPECT_EQ(twelve.mid(0, 4), (QStringList{"f3", "f1", "f2", "f4"}));
    EXPECT_EQ(twelve.last(), "f10");
}
