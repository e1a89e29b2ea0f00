#include "settings/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>

#include "platform/files.h"
#include "tests/testkit/config_home.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/store_sql.h"

namespace ferry {
namespace {

using testkit::dword;
using testkit::StoreSql;
using testkit::sz;
using testkit::TempConfigHome;

constexpr RegistryRoot User = RegistryRoot::CurrentUser;
constexpr const char* KeyPath = "Software\\Test\\Key\\";

// Sets or clears an environment variable for the lifetime of the object.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (previous_) {
            setenv(name_, previous_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

// A store holding the key with a "Kind" of 7 and a "Name" of "old".
void makeStore() {
    const ScopedKey key(openKeyForWrite(User, KeyPath));
    ASSERT_NE(key.get(), NoKey);
    ASSERT_TRUE(writeDword(key.get(), "Kind", 7));
    ASSERT_TRUE(writeString(key.get(), "Name", "old"));
}

void expectStoreGivesDefaults() {
    EXPECT_EQ(openKeyForRead(User, KeyPath), NoKey);
    const ScopedKey key(openKeyForWrite(User, KeyPath));
    EXPECT_EQ(key.get(), NoKey);
    EXPECT_FALSE(writeDword(key.get(), "Kind", 1));
    EXPECT_EQ(readDword(key.get(), "Kind"), 0u);
}

TEST(RegistryStorePath, FollowsTheXdgConfigHome) {
    const TempConfigHome home;
    EXPECT_EQ(registryStorePath(), home.storePath());
    const ScopedVariable userHome("HOME", "/home/ann");
    {
        const ScopedVariable relative("XDG_CONFIG_HOME", "config");
        EXPECT_EQ(registryStorePath(), "/home/ann/.config/ferryman/registry.sqlite3")
            << "a relative config home does not count";
    }
    const ScopedVariable unset("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(registryStorePath(), "/home/ann/.config/ferryman/registry.sqlite3");
    const ScopedVariable noHome("HOME", nullptr);
    EXPECT_EQ(registryStorePath(), "");
    EXPECT_EQ(openKeyForWrite(User, KeyPath), NoKey);
}

TEST(RegistryStore, IsCreatedOnlyByTheFirstOpenForWriting) {
    const TempConfigHome home;
    EXPECT_EQ(openKeyForRead(User, KeyPath), NoKey);
    EXPECT_FALSE(folderExists(systemPlatform(), home.dir() / "ferryman"))
        << "reading creates nothing";

    const RegistryKey written = openKeyForWrite(User, KeyPath);
    EXPECT_NE(written, NoKey);
    closeKey(written);
    EXPECT_TRUE(fileExists(systemPlatform(), home.storePath()));
    const RegistryKey read = openKeyForRead(User, KeyPath);
    EXPECT_NE(read, NoKey) << "an empty key exists once created";
    closeKey(read);
    EXPECT_FALSE(testkit::diskFileExists(home.storePath() + "-wal"));
    EXPECT_FALSE(testkit::diskFileExists(home.storePath() + "-shm"))
        << "reading leaves no side files behind";
    EXPECT_EQ(openKeyForRead(User, "Software\\Other\\"), NoKey) << "another key does not";
    EXPECT_EQ(StoreSql(home.storePath(), KeyPath)
                  .scalar("SELECT path FROM registry_keys WHERE root = 'HKEY_CURRENT_USER'"),
              KeyPath)
        << "the key path is stored as written";
}

TEST(RegistryStore, StoresTheRegistryTypesAndBytes) {
    const TempConfigHome home;
    {
        const ScopedKey key(openKeyForWrite(User, KeyPath));
        EXPECT_TRUE(writeDword(key.get(), "Kind", 0x12345678));
        EXPECT_TRUE(writeString(key.get(), "Folder", "/media/ann/stick/"));
        EXPECT_TRUE(writeString(key.get(), "Empty", ""));
        EXPECT_TRUE(writeDword(key.get(), "Minus", 0xFFFFFFFF));
    }
    const StoreSql sql(home.storePath(), KeyPath);
    EXPECT_EQ(sql.row("Kind")->type, 4);
    EXPECT_EQ(sql.row("Kind")->data, "\x78\x56\x34\x12");
    EXPECT_EQ(sql.row("Folder")->type, 1);
    EXPECT_EQ(sql.row("Folder")->data, sz("/media/ann/stick/"));
    EXPECT_EQ(sql.row("Empty")->data, std::string(1, '\0')) << "one NUL byte";

    const ScopedKey key(openKeyForRead(User, KeyPath));
    EXPECT_EQ(readDword(key.get(), "Kind"), 0x12345678u);
    EXPECT_EQ(readDword(key.get(), "Minus"), 0xFFFFFFFFu);
    EXPECT_EQ(readString(key.get(), "Folder"), "/media/ann/stick/");
    EXPECT_EQ(readString(key.get(), "Empty"), "");
    EXPECT_EQ(readString(key.get(), "Missing"), "");
    EXPECT_EQ(readDword(key.get(), "Missing"), 0u);
}

TEST(RegistryStore, NamesAndKeyPathsIgnoreLetterCase) {
    const TempConfigHome home;
    makeStore();
    {
        const ScopedKey key(openKeyForWrite(User, "SOFTWARE\\test\\KEY\\"));
        EXPECT_TRUE(writeDword(key.get(), "KIND", 8));
        EXPECT_EQ(readString(key.get(), "name"), "old");
    }
    const StoreSql sql(home.storePath(), KeyPath);
    EXPECT_EQ(sql.row("Kind")->data, dword(8)) << "replaced, keeping the first spelling";
    EXPECT_FALSE(sql.row("KIND"));
    EXPECT_EQ(sql.scalar("SELECT count(*) FROM registry_keys"), "1");
}

TEST(RegistryStore, KeepsTypesApart) {
    const TempConfigHome home;
    makeStore();
    StoreSql sql(home.storePath(), KeyPath);
    ASSERT_TRUE(sql.put("Binary", 3, dword(5)));
    ASSERT_TRUE(sql.put("Expand", 2, sz("$HOME/work")));
    ASSERT_TRUE(sql.put("Short", 4, "\x05\x00"));
    ASSERT_TRUE(sql.put("Unended", 1, "abc"));
    ASSERT_TRUE(sql.put("Inner", 1, std::string("ab\0cd\0", 6)));

    const ScopedKey key(openKeyForRead(User, KeyPath));
    EXPECT_EQ(readString(key.get(), "Kind"), "") << "a REG_DWORD is no text";
    EXPECT_EQ(readDword(key.get(), "Name"), 0u) << "a REG_SZ is no number";
    EXPECT_EQ(readDword(key.get(), "Binary"), 0u) << "4 bytes of REG_BINARY are no REG_DWORD";
    EXPECT_EQ(readString(key.get(), "Expand"), "") << "REG_EXPAND_SZ is not REG_SZ";
    EXPECT_EQ(readDword(key.get(), "Short"), 0u) << "a REG_DWORD of the wrong size";
    EXPECT_EQ(readString(key.get(), "Unended"), "abc");
    EXPECT_EQ(readString(key.get(), "Inner"), "ab");

    const ScopedKey writable(openKeyForWrite(User, KeyPath));
    EXPECT_TRUE(writeString(writable.get(), "Kind", "text now"));
    EXPECT_EQ(sql.row("Kind")->type, 1) << "a write sets the type";
    EXPECT_EQ(readDword(writable.get(), "Kind"), 0u);
}

TEST(RegistryStore, KeyZeroAndClosedKeysAreNoKey) {
    const TempConfigHome home;
    makeStore();
    EXPECT_EQ(readDword(NoKey, "Kind"), 0u);
    EXPECT_EQ(readString(NoKey, "Name"), "");
    EXPECT_FALSE(writeDword(NoKey, "Kind", 1));
    EXPECT_FALSE(writeString(NoKey, "Name", "x"));
    closeKey(NoKey);

    const RegistryKey key = openKeyForWrite(User, KeyPath);
    closeKey(key);
    closeKey(key);
    EXPECT_EQ(readDword(key, "Kind"), 0u) << "a closed key reads nothing";
    EXPECT_FALSE(writeDword(key, "Kind", 1));
    EXPECT_FALSE(writeDword(key + 1000, "Kind", 1)) << "an unknown handle";
    const RegistryKey again = openKeyForWrite(User, KeyPath);
    EXPECT_NE(again, key) << "handles are not reused";
    closeKey(again);
}

TEST(RegistryStore, KeyOpenedForReadingRefusesWrites) {
    const TempConfigHome home;
    makeStore();
    const ScopedKey key(openKeyForRead(User, KeyPath));
    EXPECT_FALSE(writeDword(key.get(), "Kind", 1));
    EXPECT_FALSE(writeString(key.get(), "Name", "new"));
    EXPECT_EQ(readDword(key.get(), "Kind"), 7u);
    EXPECT_EQ(readString(key.get(), "Name"), "old");
}

TEST(RegistryStore, EachWriteIsCommittedWhenItReturns) {
    const TempConfigHome home;
    const ScopedKey key(openKeyForWrite(User, KeyPath));
    ASSERT_TRUE(writeDword(key.get(), "Kind", 3));
    const StoreSql other(home.storePath(), KeyPath);
    EXPECT_EQ(other.row("Kind")->data, dword(3)) << "seen by another connection at once";
    EXPECT_EQ(other.scalar("PRAGMA journal_mode"), "wal");
}

TEST(RegistryStoreFaults, GarbageFileGivesDefaultsAndIsLeftAlone) {
    const TempConfigHome home;
    const std::string garbage(3000, '\x5A');
    testkit::writeDiskFile(home.storePath(), garbage);
    expectStoreGivesDefaults();
    EXPECT_EQ(testkit::readDiskFile(home.storePath()), garbage);
}

TEST(RegistryStoreFaults, DamagedPagesGiveDefaults) {
    const TempConfigHome home;
    makeStore();
    std::string bytes = testkit::readDiskFile(home.storePath());
    ASSERT_GT(bytes.size(), 4096u);
    for (std::size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xFF - i % 7);
    testkit::writeDiskFile(home.storePath(), bytes);
    expectStoreGivesDefaults();
}

TEST(RegistryStoreFaults, ReadOnlyStoreReadsButRefusesWrites) {
    const TempConfigHome home;
    makeStore();
    // A file-format write version above 2 makes SQLite open the store read-only, also
    // for root.
    std::string bytes = testkit::readDiskFile(home.storePath());
    bytes[18] = 3;
    testkit::writeDiskFile(home.storePath(), bytes);
    const ScopedKey key(openKeyForWrite(User, KeyPath));
    EXPECT_FALSE(writeDword(key.get(), "Kind", 1));
    EXPECT_FALSE(writeString(key.get(), "Other", "x"));
    EXPECT_EQ(readDword(key.get(), "Kind"), 7u);
    EXPECT_EQ(openKeyForWrite(User, "Software\\New\\"), NoKey) << "no key can be created";
}

TEST(RegistryStoreFaults, UnwritableConfigFolder) {
    {
        // No folder can be made there, not even by root.
        const testkit::ScopedConfigHome home(testkit::UnwritableConfigHome);
        expectStoreGivesDefaults();
        EXPECT_FALSE(fileExists(systemPlatform(), testkit::UnwritableConfigHome));
    }
    {
        const TempConfigHome home("file/config");
        testkit::writeDiskFile(home.dir() / "file", "not a folder");
        expectStoreGivesDefaults();
    }
    {
        const TempConfigHome home;
        ASSERT_TRUE(forceFolders(systemPlatform(), home.storePath()));
        expectStoreGivesDefaults();
    }
}

TEST(RegistryStoreFaults, LockedStoreRefusesWritesAfterABoundedWait) {
    const TempConfigHome home;
    makeStore();
    StoreSql holder(home.storePath(), KeyPath);
    ASSERT_TRUE(holder.execute("BEGIN EXCLUSIVE; UPDATE registry_keys SET root = root;"));

    const auto start = std::chrono::steady_clock::now();
    {
        const ScopedKey key(openKeyForWrite(User, KeyPath));
        for (int i = 0; i < 50; ++i) EXPECT_FALSE(writeDword(key.get(), "Kind", 1));
        EXPECT_EQ(readDword(key.get(), "Kind"), 7u) << "readers are not blocked by a writer";
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10))
        << "one wait for the whole key, not one per value";

    ASSERT_TRUE(holder.execute("COMMIT"));
    const ScopedKey key(openKeyForWrite(User, KeyPath));
    EXPECT_TRUE(writeDword(key.get(), "Kind", 1));
}

TEST(RegistryStoreFaults, ExclusivelyLockedStoreGivesDefaults) {
    const TempConfigHome home;
    makeStore();
    StoreSql holder(home.storePath(), KeyPath);
    ASSERT_TRUE(holder.execute("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;"));
    expectStoreGivesDefaults();
}

// Two processes write the same store at once, each its own values and one shared value,
// the first of them creating the store. Nothing may be lost or damaged.
TEST(RegistryStoreConcurrency, TwoProcessesLoseNoWrite) {
    const TempConfigHome home;
    constexpr int Rounds = 150;
    int startPipe[2];
    ASSERT_EQ(pipe(startPipe), 0);
    pid_t children[2];
    for (int id = 0; id < 2; ++id) {
        children[id] = fork();
        ASSERT_GE(children[id], 0);
        if (children[id] != 0) continue;
        close(startPipe[1]);
        char go = 0;
        if (read(startPipe[0], &go, 1) != 0) _exit(2);
        int failures = 0;
        const std::string prefix = id == 0 ? "A" : "B";
        for (int round = 0; round < Rounds; ++round) {
            const ScopedKey key(openKeyForWrite(User, KeyPath));
            const std::string name = prefix + std::to_string(round);
            failures += !writeDword(key.get(), name, static_cast<std::uint32_t>(round));
            failures += !writeString(key.get(), "Text" + name, name);
            failures += !writeString(key.get(), "Shared", prefix);
        }
        _exit(failures == 0 ? 0 : 1);
    }
    close(startPipe[0]);
    close(startPipe[1]);  // both children start now
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "every write succeeded";
    }

    const StoreSql sql(home.storePath(), KeyPath);
    EXPECT_EQ(sql.scalar("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(sql.scalar("SELECT count(*) FROM registry_values"), std::to_string(4 * Rounds + 1));
    for (const std::string prefix : {"A", "B"}) {
        for (int round = 0; round < Rounds; ++round) {
            const std::string name = prefix + std::to_string(round);
            EXPECT_EQ(sql.row(name)->data, dword(static_cast<std::uint32_t>(round)));
            EXPECT_EQ(sql.row("Text" + name)->data, sz(name));
        }
    }
    const std::string shared = sql.row("Shared")->data;
    EXPECT_TRUE(shared == sz("A") || shared == sz("B"));
}

}  // namespace
}  // namespace ferry
