#include "support/string_list.h"

#include <gtest/gtest.h>

namespace ferry {
namespace {

TEST(StringList, KeepsCopiesInOrder) {
    StringList list = newStringList();
    std::string text = "first";
    EXPECT_EQ(list.add(text), 0);
    text = "changed";
    EXPECT_EQ(list.add("second"), 1);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(0), "first");
    EXPECT_EQ(list.item(1), "second");
}

TEST(StringList, OutOfRangeReadsEmpty) {
    StringList list = newStringListWithData();
    list.addWithData("a", 7);
    EXPECT_EQ(list.item(-1), "");
    EXPECT_EQ(list.item(list.count()), "");
    EXPECT_EQ(list.data(-1), 0u);
    EXPECT_EQ(list.data(1), 0u);
}

TEST(StringList, IndexOfFoldsOnlyAscii) {
    StringList list = newStringList();
    list.add("xyz");
    list.add("abc");
    list.add("\xC3\x84");  // Ä
    list.add("ABC");
    EXPECT_EQ(list.indexOf("ABC"), 1) << "first match from the start";
    EXPECT_EQ(list.indexOf("\xC3\xA4"), -1) << "ä does not find Ä";
    EXPECT_EQ(list.indexOf("nothing"), -1);
}

TEST(StringList, DataColumn) {
    StringList list = newStringListWithData();
    EXPECT_TRUE(list.hasDataColumn());
    EXPECT_EQ(list.add("a"), 0);
    EXPECT_EQ(list.data(0), 0u) << "never set reads as zero";
    EXPECT_EQ(list.addWithData("b", 42), 1);
    EXPECT_EQ(list.data(1), 42u);
    list.setData(0, 1);
    EXPECT_EQ(list.data(0), 1u);
    EXPECT_EQ(list.data(1), 42u);
}

TEST(StringList, WithoutDataColumnIgnoresData) {
    StringList list = newStringList();
    EXPECT_FALSE(list.hasDataColumn());
    list.add("a");
    list.setData(0, 5);
    EXPECT_EQ(list.data(0), 0u);
}

TEST(StringList, ClearLeavesListUsable) {
    StringList list = newStringList();
    for (int i = 0; i < 1000; ++i) list.add("item");
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.add("again"), 0);
    EXPECT_EQ(list.item(0), "again");
}

}  // namespace
}  // namespace ferry
