#include "settings/mask_history.h"

#include <gtest/gtest.h>

#include "settings/settings_key.h"
#include "tests/testkit/config_home.h"
#include "tests/testkit/store_sql.h"

namespace ferry {
namespace {

using testkit::StoreSql;
using testkit::sz;
using testkit::TempConfigHome;

StringList masks(int count) {
    StringList list = newStringList();
    for (int i = 1; i <= count; ++i) list.add("*.m" + std::to_string(i));
    return list;
}

TEST(MaskHistory, NoStoreGivesNoMasks) {
    const TempConfigHome home;
    EXPECT_EQ(loadMaskHistory().count(), 0);
}

TEST(MaskHistory, AllAreWrittenAtMostAHundredRead) {
    const TempConfigHome home;
    saveMaskHistory(masks(150));
    const StoreSql sql(home.storePath(), std::string(SettingsKeyPath));
    EXPECT_EQ(sql.row("Mask1")->data, sz("*.m1"));
    EXPECT_EQ(sql.row("Mask150")->data, sz("*.m150"));
    EXPECT_FALSE(sql.row("Mask151")) << "no end marker";

    const StringList loaded = loadMaskHistory();
    ASSERT_EQ(loaded.count(), MaskHistoryLimit);
    EXPECT_EQ(loaded.item(0), "*.m1");
    EXPECT_EQ(loaded.item(99), "*.m100");
}

TEST(MaskHistory, ShorterSaveLeavesTheTailAndTheFirstGapEndsTheLoad) {
    const TempConfigHome home;
    saveMaskHistory(masks(5));
    StringList shorter = newStringList();
    shorter.add("*.new");
    saveMaskHistory(shorter);
    const StringList loaded = loadMaskHistory();
    ASSERT_EQ(loaded.count(), 5) << "what was stored beyond stays";
    EXPECT_EQ(loaded.item(0), "*.new");
    EXPECT_EQ(loaded.item(1), "*.m2");

    StoreSql(home.storePath(), std::string(SettingsKeyPath)).put("Mask3", 1, sz(""));
    EXPECT_EQ(loadMaskHistory().count(), 2);
}

// Three uses with m1, m2 and m1 in other letter case: m1 in its new case first, m2
// second, no third entry; a mask already on top keeps its case; an empty one is left out.
TEST(MaskHistory, RememberedMaskMovesToTheTopOnce) {
    StringList history = newStringList();
    for (const char* used : {"*.m1", "*.m2", "*.M1", "*.m1", ""})
        history = rememberMask(history, used);
    ASSERT_EQ(history.count(), 2);
    EXPECT_EQ(history.item(0), "*.M1");
    EXPECT_EQ(history.item(1), "*.m2");
}

}  // namespace
}  // namespace ferry
