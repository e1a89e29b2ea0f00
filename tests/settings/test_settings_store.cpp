#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <limits>

#include "settings/settings_key.h"
#include "support/files.h"
#include "tests/testkit/config_home.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/store_sql.h"

namespace ferry {
namespace {

using testkit::dword;
using testkit::sz;
using testkit::TempConfigHome;

constexpr std::uint32_t RegSz = 1;
constexpr std::uint32_t RegExpandSz = 2;
constexpr std::uint32_t RegBinary = 3;
constexpr std::uint32_t RegDword = 4;
constexpr std::uint32_t May17th2024 = 739023;

// Plain SQL on the values of the settings key.
testkit::StoreSql settingsSql(const TempConfigHome& home) {
    return testkit::StoreSql(home.storePath(), std::string(SettingsKeyPath));
}

// The same, after creating the settings key empty.
testkit::StoreSql settingsStore(const TempConfigHome& home) {
    closeKey(openKeyForWrite(RegistryRoot::CurrentUser, SettingsKeyPath));
    return settingsSql(home);
}

// Catalogue entry n as another run would have stored it.
void putEntry(testkit::StoreSql& sql, int n, const std::string& key, const std::string& workDir,
              std::uint32_t days, std::uint32_t seconds) {
    const std::string number = std::to_string(n);
    ASSERT_TRUE(sql.put("Project" + number, RegSz, sz(key)));
    ASSERT_TRUE(sql.put("WorkDir" + number, RegSz, sz(workDir)));
    ASSERT_TRUE(sql.put("LastSyncDate" + number, RegDword, dword(days)));
    ASSERT_TRUE(sql.put("LastSyncTime" + number, RegDword, dword(seconds)));
}

DateTime at(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
            std::uint16_t milliseconds = 0) {
    SystemTime time;
    time.year = 2024;
    time.month = 5;
    time.day = 17;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    time.milliseconds = milliseconds;
    DateTime value = 0;
    EXPECT_TRUE(systemTimeToDateTime(time, value));
    return value;
}

TEST(SettingsStore, FirstStartGivesDefaultsAndTheCloseCreatesTheKey) {
    const TempConfigHome home;
    const LoadedSettings loaded = loadSettings();
    EXPECT_EQ(loaded.kindIndex, KindRemovable);
    EXPECT_EQ(loaded.removableFolder, "");
    EXPECT_EQ(loaded.directoryFolder, "");
    EXPECT_EQ(loaded.mediumText, "");
    EXPECT_EQ(loaded.catalogue.count(), 0);
    EXPECT_FALSE(fileExists(home.storePath())) << "loading writes nothing";

    saveMediumSettings(KindRemovable, "/media/ann/STICK/");
    const auto sql = settingsSql(home);
    EXPECT_EQ(sql.row("Kind")->type, RegDword);
    EXPECT_EQ(sql.row("Kind")->data, dword(0));
    EXPECT_EQ(sql.row("Removable")->data, sz("/media/ann/STICK/"));
    EXPECT_FALSE(sql.row("Directory"));
    EXPECT_EQ(sql.scalar("SELECT path FROM registry_keys"), "Software\\Zephyrant\\Ferryman\\");
}

TEST(SettingsStore, KindDecidesSelectionAndMediumText) {
    const TempConfigHome home;
    auto sql = settingsStore(home);
    ASSERT_TRUE(sql.put("Removable", RegSz, sz("/media/stick/")));
    ASSERT_TRUE(sql.put("Directory", RegSz, sz("/data/ferry/")));

    ASSERT_TRUE(sql.put("Kind", RegDword, dword(1)));
    LoadedSettings loaded = loadSettings();
    EXPECT_EQ(loaded.kindIndex, KindDirectory);
    EXPECT_EQ(loaded.mediumText, "/data/ferry/");
    EXPECT_EQ(loaded.removableFolder, "/media/stick/");

    for (const std::uint32_t other : {2u, 0xFFFFFFFFu}) {
        ASSERT_TRUE(sql.put("Kind", RegDword, dword(other)));
        loaded = loadSettings();
        EXPECT_EQ(loaded.kindIndex, NoKindSelected) << other;
        EXPECT_EQ(loaded.mediumText, "") << other;
        EXPECT_EQ(loaded.directoryFolder, "/data/ferry/");
    }

    ASSERT_TRUE(sql.put("Kind", RegBinary, dword(1)));
    loaded = loadSettings();
    EXPECT_EQ(loaded.kindIndex, KindRemovable) << "a REG_BINARY kind reads as 0";
    EXPECT_EQ(loaded.mediumText, "");
}

TEST(SettingsStore, MediumSettingsWriteOnlyTheirKindsFolder) {
    const TempConfigHome home;
    saveMediumSettings(KindRemovable, "/media/stick/");
    saveMediumSettings(KindDirectory, "/data/ferry/");
    const auto sql = settingsSql(home);
    EXPECT_EQ(sql.row("Kind")->data, dword(1));
    EXPECT_EQ(sql.row("Removable")->data, sz("/media/stick/")) << "left as it was";
    EXPECT_EQ(sql.row("Directory")->data, sz("/data/ferry/"));

    saveMediumSettings(NoKindSelected, "");
    EXPECT_EQ(sql.row("Kind")->data, dword(0xFFFFFFFF));
    EXPECT_EQ(sql.row("Directory")->data, sz(""));
    EXPECT_EQ(sql.row("Removable")->data, sz("/media/stick/"));
}

TEST(SettingsStore, CatalogueLoadsUpToTheFirstEmptyProject) {
    const TempConfigHome home;
    auto sql = settingsStore(home);
    putEntry(sql, 1, "/media/stick/Ferry/%a.move", "/home/ann/a/", May17th2024, 66615);
    putEntry(sql, 2, "b", "", 0, 0);
    ASSERT_TRUE(sql.put("WorkDir2", RegExpandSz, sz("$HOME/b")));
    ASSERT_TRUE(sql.put("LastSyncDate2", RegSz, sz("5")));
    putEntry(sql, 4, "hidden", "", 1, 1);

    const LoadedSettings loaded = loadSettings();
    ASSERT_EQ(loaded.catalogue.count(), 2);
    EXPECT_EQ(loaded.catalogue.key(0), "/media/stick/Ferry/%a.move");
    EXPECT_EQ(loaded.catalogue.record(0)->workDir, "/home/ann/a/");
    EXPECT_DOUBLE_EQ(loaded.catalogue.record(0)->lastSync, at(18, 30, 15));
    EXPECT_EQ(loaded.catalogue.record(1)->workDir, "") << "REG_EXPAND_SZ reads as empty";
    EXPECT_EQ(loaded.catalogue.record(1)->lastSync, 0.0);

    ASSERT_TRUE(sql.put("Project1", RegSz, sz("")));
    EXPECT_EQ(loadSettings().catalogue.count(), 0) << "an empty Project1 hides Project2";
    ASSERT_TRUE(sql.execute("DELETE FROM registry_values WHERE name = 'Project1'"));
    EXPECT_EQ(loadSettings().catalogue.count(), 0) << "so does a missing one";
}

TEST(SettingsStore, WholeSaveOverALongerListEndsItWithAMarker) {
    const TempConfigHome home;
    auto sql = settingsStore(home);
    for (int n = 1; n <= 5; ++n) putEntry(sql, n, "old" + std::to_string(n), "/old/", 9, 9);

    Catalogue catalogue;
    catalogue.add("p1").workDir = "/home/ann/p1/";
    catalogue.add("p2");
    catalogue.add("p3").lastSync = at(0, 0, 1);
    saveProjects(catalogue, nullptr);

    EXPECT_EQ(sql.row("Project1")->data, sz("p1"));
    EXPECT_EQ(sql.row("WorkDir1")->data, sz("/home/ann/p1/"));
    EXPECT_EQ(sql.row("WorkDir2")->data, sz(""));
    EXPECT_EQ(sql.row("LastSyncDate3")->data, dword(May17th2024));
    EXPECT_EQ(sql.row("LastSyncTime3")->data, dword(1));
    EXPECT_EQ(sql.row("Project4")->data, sz("")) << "the end marker";
    EXPECT_EQ(sql.row("WorkDir4")->data, sz("/old/"));
    EXPECT_EQ(sql.row("Project5")->data, sz("old5")) << "entry 5 is left";
    EXPECT_EQ(sql.row("LastSyncTime5")->data, dword(9));
    EXPECT_EQ(loadSettings().catalogue.count(), 3);
}

TEST(SettingsStore, SingleEntrySaveWritesOnlyThatEntry) {
    const TempConfigHome home;
    auto sql = settingsStore(home);
    for (int n = 1; n <= 3; ++n) putEntry(sql, n, "p" + std::to_string(n), "", 1, 1);

    LoadedSettings loaded = loadSettings();
    Catalogue& catalogue = loaded.catalogue;
    catalogue.record(0)->workDir = "/changed/";
    catalogue.findOrCreateRecord("p4");
    ProjectRecord& fifth = catalogue.findOrCreateRecord("p5");
    fifth.workDir = "/home/ann/p5/";
    fifth.lastSync = at(18, 30, 15);
    saveProjects(catalogue, &fifth);

    EXPECT_EQ(sql.row("Project5")->data, sz("p5"));
    EXPECT_EQ(sql.row("WorkDir5")->data, sz("/home/ann/p5/"));
    EXPECT_EQ(sql.row("LastSyncDate5")->data, dword(May17th2024));
    EXPECT_EQ(sql.row("LastSyncTime5")->data, dword(66615));
    EXPECT_FALSE(sql.row("Project4"));
    EXPECT_FALSE(sql.row("Project6")) << "no end marker";
    EXPECT_EQ(sql.row("WorkDir1")->data, sz("")) << "other entries are not written";
    EXPECT_EQ(loadSettings().catalogue.count(), 3) << "the missing Project4 hides entry 5";
}

TEST(SettingsStore, LastSyncIsStoredInWholeDaysAndSecondsCutNotRounded) {
    const TempConfigHome home;
    Catalogue catalogue;
    catalogue.add("never");
    catalogue.add("evening").lastSync = at(18, 30, 15);
    catalogue.add("late").lastSync = at(18, 30, 15, 999);
    catalogue.add("broken").lastSync = std::numeric_limits<double>::quiet_NaN();
    catalogue.add("far").lastSync = 1e300;
    saveProjects(catalogue, nullptr);

    const auto sql = settingsSql(home);
    EXPECT_EQ(sql.row("LastSyncDate1")->data, dword(0));
    EXPECT_EQ(sql.row("LastSyncTime1")->data, dword(0));
    EXPECT_EQ(sql.row("LastSyncDate2")->data, dword(May17th2024));
    EXPECT_EQ(sql.row("LastSyncTime2")->data, dword(66615));
    EXPECT_EQ(sql.row("LastSyncTime3")->data, dword(66615));
    EXPECT_EQ(sql.row("LastSyncDate4")->data, dword(0));
    EXPECT_EQ(sql.row("LastSyncDate5")->data, dword(0));
}

// A double holds most whole seconds of a day a little below their value; loading and
// saving again must not lose a second each time.
TEST(SettingsStore, LastSyncSurvivesRepeatedLoadAndSave) {
    const TempConfigHome home;
    Catalogue catalogue;
    for (std::uint32_t seconds = 0; seconds < 86400; seconds += 863) {
        catalogue.add(std::to_string(seconds)).lastSync =
            at(static_cast<std::uint16_t>(seconds / 3600),
               static_cast<std::uint16_t>(seconds / 60 % 60),
               static_cast<std::uint16_t>(seconds % 60));
    }
    saveProjects(catalogue, nullptr);
    for (int round = 0; round < 2; ++round) saveProjects(loadSettings().catalogue, nullptr);

    const auto sql = settingsSql(home);
    for (std::int32_t i = 0; i < catalogue.count(); ++i) {
        const std::string n = std::to_string(i + 1);
        EXPECT_EQ(sql.row("LastSyncTime" + n)->data,
                  dword(static_cast<std::uint32_t>(std::stoul(catalogue.key(i)))));
        EXPECT_EQ(sql.row("LastSyncDate" + n)->data, dword(May17th2024));
    }
}

TEST(SettingsStore, RefusingStoreChangesNothingAndStopsNothing) {
    const TempConfigHome home;
    testkit::FaultPlatform faults;
    faults.failCall(testkit::Call::MakeFolder, "ferryman");
    {
        const ScopedPlatform use(faults);
        saveMediumSettings(KindDirectory, "/data/");
        Catalogue catalogue;
        catalogue.add("p");
        saveProjects(catalogue, nullptr);
        EXPECT_EQ(loadSettings().kindIndex, KindRemovable);
    }
    EXPECT_FALSE(fileExists(home.storePath()));

    testkit::writeDiskFile(home.storePath(), "not a database");
    saveMediumSettings(KindDirectory, "/data/");
    const LoadedSettings loaded = loadSettings();
    EXPECT_EQ(loaded.kindIndex, KindRemovable);
    EXPECT_EQ(loaded.catalogue.count(), 0);
    EXPECT_EQ(testkit::readDiskFile(home.storePath()), "not a database");
}

}  // namespace
}  // namespace ferry
