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

}  // namespace
}  // namespace ferry
