#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/files.h"
#include "settings/settings_key.h"
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
    EXPECT_FALSE(fileExists(systemPlatform(), home.storePath())) << "loading writes nothing";

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

// Entries the store holds that this catalogue never loaded belong to someone else: a
// whole save keeps them, matches its own entries by key, appends the rest and ends the
// list after them.
TEST(SettingsStore, WholeSaveKeepsEntriesItNeverLoadedAndEndsTheList) {
    const TempConfigHome home;
    auto sql = settingsStore(home);
    putEntry(sql, 1, "old1", "/old/", 9, 9);
    putEntry(sql, 2, "p2", "/old/", 9, 9);
    ASSERT_TRUE(sql.put("Project3", RegSz, sz("")));
    putEntry(sql, 4, "hidden", "/hidden/", 9, 9);

    Catalogue catalogue;
    catalogue.add("p1").workDir = "/home/ann/p1/";
    catalogue.add("p2");
    catalogue.add("p3").lastSync = at(0, 0, 1);
    saveProjects(catalogue, nullptr);

    EXPECT_EQ(sql.row("Project1")->data, sz("old1"));
    EXPECT_EQ(sql.row("WorkDir1")->data, sz("/old/"));
    EXPECT_EQ(sql.row("Project2")->data, sz("p2"));
    EXPECT_EQ(sql.row("WorkDir2")->data, sz("/old/")) << "nothing of p2 was changed here";
    EXPECT_EQ(catalogue.record(1)->workDir, "/old/") << "so the catalogue takes it";
    EXPECT_EQ(sql.row("Project3")->data, sz("p1"));
    EXPECT_EQ(sql.row("WorkDir3")->data, sz("/home/ann/p1/"));
    EXPECT_EQ(sql.row("Project4")->data, sz("p3"));
    EXPECT_EQ(sql.row("LastSyncDate4")->data, dword(May17th2024));
    EXPECT_EQ(sql.row("LastSyncTime4")->data, dword(1));
    EXPECT_EQ(sql.row("WorkDir4")->data, sz("")) << "the appended entry is written whole";
    EXPECT_EQ(sql.row("Project5")->data, sz("")) << "the end marker";
    EXPECT_EQ(loadSettings().catalogue.count(), 4);
}

// A single entry is saved after entries that were never stored: they are written before
// it, so the next load, which stops at the first missing entry, still finds it.
TEST(SettingsStore, SingleEntrySaveLeavesNoGap) {
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

    EXPECT_EQ(sql.row("Project4")->data, sz("p4")) << "the entry never stored before it";
    EXPECT_EQ(sql.row("WorkDir4")->data, sz(""));
    EXPECT_EQ(sql.row("LastSyncDate4")->data, dword(0));
    EXPECT_EQ(sql.row("LastSyncTime4")->data, dword(0));
    EXPECT_EQ(sql.row("Project5")->type, RegSz);
    EXPECT_EQ(sql.row("Project5")->data, sz("p5"));
    EXPECT_EQ(sql.row("WorkDir5")->data, sz("/home/ann/p5/"));
    EXPECT_EQ(sql.row("LastSyncDate5")->type, RegDword);
    EXPECT_EQ(sql.row("LastSyncDate5")->data, dword(May17th2024));
    EXPECT_EQ(sql.row("LastSyncTime5")->data, dword(66615));
    EXPECT_EQ(sql.row("Project6")->data, sz("")) << "the list ends after what was appended";
    EXPECT_EQ(sql.row("WorkDir1")->data, sz("")) << "other entries are not written";
    const LoadedSettings again = loadSettings();
    ASSERT_EQ(again.catalogue.count(), 5);
    EXPECT_EQ(again.catalogue.key(4), "p5");
    EXPECT_DOUBLE_EQ(again.catalogue.record(4)->lastSync, at(18, 30, 15));

    // Saved again unchanged, the entry is found under its number: nothing is appended.
    saveProjects(catalogue, &fifth);
    EXPECT_EQ(loadSettings().catalogue.count(), 5);
}

// A whole save once cut the list with an end marker in front of older entries; an entry
// appended there must not bring those back.
TEST(SettingsStore, AppendingBehindAnEndMarkerKeepsOldEntriesHidden) {
    const TempConfigHome home;
    auto sql = settingsStore(home);
    putEntry(sql, 1, "p1", "", 1, 1);
    ASSERT_TRUE(sql.put("Project2", RegSz, sz("")));
    putEntry(sql, 3, "old3", "/old/", 9, 9);

    LoadedSettings loaded = loadSettings();
    ProjectRecord& added = loaded.catalogue.findOrCreateRecord("p2");
    added.lastSync = at(12, 0, 0);
    saveProjects(loaded.catalogue, &added);

    EXPECT_EQ(sql.row("Project2")->data, sz("p2"));
    EXPECT_EQ(sql.row("Project3")->data, sz(""));
    EXPECT_EQ(loadSettings().catalogue.count(), 2);
}

// The window and a script each hold the catalogue as they loaded it and save in turn:
// neither writes back a value the other saved meanwhile, and an entry is matched by its
// key wherever the other put it.
TEST(SettingsStore, TwoProcessesSavingInTurnKeepEachOthersValues) {
    const TempConfigHome home;
    auto sql = settingsStore(home);
    putEntry(sql, 1, "p1", "/w1/", 5, 5);
    putEntry(sql, 2, "p2", "", 0, 0);
    LoadedSettings window = loadSettings();
    LoadedSettings script = loadSettings();
    Catalogue& a = window.catalogue;
    Catalogue& b = script.catalogue;

    // The script synchronizes p2; the window then sets p1's work directory.
    b.record(1)->lastSync = at(18, 30, 15);
    saveProjects(b, b.record(1));
    a.record(0)->workDir = "/home/ann/p1/";
    saveProjects(a, nullptr);
    EXPECT_EQ(sql.row("WorkDir1")->data, sz("/home/ann/p1/"));
    EXPECT_EQ(sql.row("LastSyncDate1")->data, dword(5));
    EXPECT_EQ(sql.row("LastSyncTime2")->data, dword(66615)) << "the script's time stays";
    EXPECT_DOUBLE_EQ(a.record(1)->lastSync, at(18, 30, 15)) << "the window learns it";

    // Each adds a project; the script saves after the window appended its own.
    a.findOrCreateRecord("p3").workDir = "/home/ann/p3/";
    saveProjects(a, nullptr);
    ProjectRecord& p4 = b.findOrCreateRecord("p4");
    p4.lastSync = at(9, 0, 0);
    saveProjects(b, &p4);
    EXPECT_EQ(sql.row("Project3")->data, sz("p3"));
    EXPECT_EQ(sql.row("Project4")->data, sz("p4"));
    EXPECT_EQ(sql.row("Project5")->data, sz(""));

    // The script sets p2's work directory: a whole save of a catalogue that still holds
    // p1 as loaded.
    b.record(1)->workDir = "/home/bob/p2/";
    saveProjects(b, nullptr);
    EXPECT_EQ(sql.row("WorkDir1")->data, sz("/home/ann/p1/")) << "not written back";
    EXPECT_EQ(b.record(0)->workDir, "/home/ann/p1/");
    EXPECT_EQ(sql.row("Project3")->data, sz("p3")) << "the window's entry is kept";
    EXPECT_EQ(sql.row("Project5")->data, sz(""));

    // The window synchronizes p4, which it never had: the script's entry is found by key
    // and only the time is written.
    ProjectRecord& seen = a.findOrCreateRecord("p4");
    seen.lastSync = at(10, 0, 0);
    saveProjects(a, &seen);
    EXPECT_EQ(sql.row("LastSyncTime4")->data, dword(36000));
    EXPECT_EQ(sql.row("Project5")->data, sz(""));

    const LoadedSettings stored = loadSettings();
    ASSERT_EQ(stored.catalogue.count(), 4);
    EXPECT_EQ(stored.catalogue.record(0)->workDir, "/home/ann/p1/");
    EXPECT_EQ(stored.catalogue.record(1)->workDir, "/home/bob/p2/");
    EXPECT_DOUBLE_EQ(stored.catalogue.record(1)->lastSync, at(18, 30, 15));
    EXPECT_EQ(stored.catalogue.record(2)->workDir, "/home/ann/p3/");
    EXPECT_DOUBLE_EQ(stored.catalogue.record(3)->lastSync, at(10, 0, 0));
}

// A process refiles an entry whose archive is now reached under another path: the store
// files the entry's values under the new key at its old number. Another process that
// still holds the old key neither brings it back nor overwrites the entry.
TEST(SettingsStore, RefiledEntryTakesItsNewKeyAtItsNumber) {
    const TempConfigHome home;
    auto sql = settingsStore(home);
    putEntry(sql, 1, "/media/ann/STICK/Ferry/%a.move", "/home/ann/a/", 5, 5);
    putEntry(sql, 2, "p2", "", 0, 0);
    LoadedSettings window = loadSettings();
    LoadedSettings script = loadSettings();

    const std::int32_t entry = script.catalogue.refile(0, "/media/ann/STICK1/Ferry/%a.move");
    script.catalogue.record(entry)->lastSync = at(18, 30, 15);
    saveProjects(script.catalogue, script.catalogue.record(entry));
    EXPECT_EQ(sql.row("Project1")->data, sz("/media/ann/STICK1/Ferry/%a.move"));
    EXPECT_EQ(sql.row("WorkDir1")->data, sz("/home/ann/a/"));
    EXPECT_EQ(sql.row("LastSyncTime1")->data, dword(66615));
    EXPECT_FALSE(sql.row("Project3"));

    window.catalogue.record(1)->workDir = "/home/ann/p2/";
    saveProjects(window.catalogue, nullptr);
    EXPECT_EQ(sql.row("Project1")->data, sz("/media/ann/STICK1/Ferry/%a.move"));
    EXPECT_EQ(sql.row("LastSyncTime1")->data, dword(66615));
    EXPECT_EQ(sql.row("WorkDir2")->data, sz("/home/ann/p2/"));
    EXPECT_EQ(sql.row("Project3")->data, sz("")) << "the old key is not brought back";
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
    for (int round = 0; round < 2; ++round) {
        LoadedSettings loaded = loadSettings();
        saveProjects(loaded.catalogue, nullptr);
    }

    const auto sql = settingsSql(home);
    for (std::int32_t i = 0; i < catalogue.count(); ++i) {
        const std::string n = std::to_string(i + 1);
        EXPECT_EQ(sql.row("LastSyncTime" + n)->data,
                  dword(static_cast<std::uint32_t>(std::stoul(catalogue.key(i)))));
        EXPECT_EQ(sql.row("LastSyncDate" + n)->data, dword(May17th2024));
    }
}

TEST(SettingsStore, RefusingStoreChangesNothingAndStopsNothing) {
    {
        // No folder can be made there, not even by root.
        const testkit::ScopedConfigHome unwritable(testkit::UnwritableConfigHome);
        saveMediumSettings(KindDirectory, "/data/");
        Catalogue catalogue;
        catalogue.add("p");
        saveProjects(catalogue, nullptr);
        EXPECT_EQ(loadSettings().kindIndex, KindRemovable);
        EXPECT_FALSE(fileExists(systemPlatform(), testkit::UnwritableConfigHome));
    }
    const TempConfigHome home;

    testkit::writeDiskFile(home.storePath(), "not a database");
    saveMediumSettings(KindDirectory, "/data/");
    const LoadedSettings loaded = loadSettings();
    EXPECT_EQ(loaded.kindIndex, KindRemovable);
    EXPECT_EQ(loaded.catalogue.count(), 0);
    EXPECT_EQ(testkit::readDiskFile(home.storePath()), "not a database");
}

}  // namespace
}  // namespace ferry
