#include "settings/project_catalogue.h"

#include <gtest/gtest.h>

namespace ferry {
namespace {

TEST(Catalogue, FindsByExactKeyOrAppendsAnEmptyRecord) {
    Catalogue catalogue;
    ProjectRecord& first = catalogue.findOrCreateRecord("/media/stick/Ferry/%a.move");
    EXPECT_EQ(first.workDir, "");
    EXPECT_EQ(first.lastSync, 0.0);
    first.workDir = "/home/ann/a/";
    EXPECT_EQ(&catalogue.findOrCreateRecord("/media/stick/Ferry/%a.move"), &first);

    ProjectRecord& other = catalogue.findOrCreateRecord("/MEDIA/stick/Ferry/%a.move");
    EXPECT_NE(&other, &first) << "letter case makes another key";
    EXPECT_EQ(other.workDir, "");
    ASSERT_EQ(catalogue.count(), 2);
    EXPECT_EQ(catalogue.key(1), "/MEDIA/stick/Ferry/%a.move");
    EXPECT_EQ(catalogue.record(0), &first);
    EXPECT_EQ(catalogue.record(2), nullptr);
    EXPECT_EQ(catalogue.record(-1), nullptr);
    EXPECT_EQ(catalogue.key(2), "");
}

TEST(Catalogue, FirstOfEqualKeysWinsAndRecordsStayPut) {
    Catalogue catalogue;
    ProjectRecord& first = catalogue.add("k");
    ProjectRecord& second = catalogue.add("k");
    EXPECT_NE(&first, &second);
    EXPECT_EQ(&catalogue.findOrCreateRecord("k"), &first);
    for (int i = 0; i < 1000; ++i) catalogue.add("key" + std::to_string(i));
    EXPECT_EQ(catalogue.record(0), &first) << "appending never moves a record";
    EXPECT_EQ(catalogue.key(1001), "key999");
}

TEST(Catalogue, LooksUpByKeyOrByTheOnlyKeyWithTheSameTail) {
    Catalogue catalogue;
    catalogue.add("/media/ann/STICK/Ferry/%a%02A1.move");
    catalogue.add("/media/ann/STICK/Ferry/%b%02A1.move");
    catalogue.add("/media/ann/OTHER/Ferry/%b%02A1.move");
    EXPECT_EQ(catalogue.indexOf("/media/ann/STICK/Ferry/%b%02A1.move"), 1);
    EXPECT_EQ(catalogue.indexOf("/media/ann/stick/Ferry/%b%02A1.move"), -1);
    EXPECT_EQ(catalogue.indexOfOnlyKeyEndingIn("/Ferry/%a%02A1.move"), 0);
    EXPECT_EQ(catalogue.indexOfOnlyKeyEndingIn("/Ferry/%b%02A1.move"), -1) << "two keys end so";
    EXPECT_EQ(catalogue.indexOfOnlyKeyEndingIn("/Ferry/%c%02A1.move"), -1);
}

TEST(Catalogue, RefiledRecordKeepsItsNumber) {
    Catalogue catalogue;
    catalogue.add("first");
    ProjectRecord& moved = catalogue.add("/media/ann/STICK/Ferry/%p%02A1.move");
    moved = {"/home/ann/p/", 739023.5};

    EXPECT_EQ(catalogue.refile(1, "/media/ann/STICK1/Ferry/%p%02A1.move"), 1);
    EXPECT_EQ(catalogue.refile(1, "/media/ann/STICK1/Ferry/%p%0281.move"), 1);
    EXPECT_EQ(catalogue.refile(1, "/media/ann/STICK1/Ferry/%p%0281.move"), 1) << "same key";
    EXPECT_EQ(catalogue.key(1), "/media/ann/STICK1/Ferry/%p%0281.move");
    EXPECT_EQ(catalogue.record(1), &moved);
    EXPECT_EQ(catalogue.key(0), "first");
    EXPECT_EQ(catalogue.refile(2, "x"), -1);
    EXPECT_EQ(catalogue.refile(-1, "x"), -1);

    // A key already filed: that entry takes the values, so the key still names one entry.
    ProjectRecord& stale = catalogue.add("/media/ann/STICK1/Ferry/%p%0001.move");
    EXPECT_EQ(catalogue.refile(1, "/media/ann/STICK1/Ferry/%p%0001.move"), 2);
    EXPECT_EQ(stale.workDir, "/home/ann/p/");
    EXPECT_EQ(stale.lastSync, 739023.5);
    EXPECT_EQ(catalogue.key(1), "/media/ann/STICK1/Ferry/%p%0281.move");
    EXPECT_EQ(catalogue.count(), 3);
}

}  // namespace
}  // namespace ferry
