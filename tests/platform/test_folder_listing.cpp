#include "platform/folder_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <set>

#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::TempDir;
using testkit::writeDiskFile;

std::set<std::string> namesOf(const FolderListing& listing) {
    std::set<std::string> names;
    for (std::int32_t i = 0; i < listing.count(); ++i) names.insert(listing.name(i));
    return names;
}

class FolderListingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"test1.pas", "main.pas", "old.bak", "README", "readme."}) {
            writeDiskFile(dir / name, "x");
        }
        mkdir((dir / "sub").c_str(), 0777);
        mkdir((dir / "obj.pas").c_str(), 0777);
    }
    TempDir dir;
};

TEST_F(FolderListingTest, FirstMatchingMaskDecides) {
    EXPECT_EQ(
        namesOf(listFolder(systemPlatform(), dir.path(), "*.pas;^test*.pas", FileAttributeNormal)),
        (std::set<std::string>{"test1.pas", "main.pas", "obj.pas"}));
    EXPECT_EQ(
        namesOf(listFolder(systemPlatform(), dir.path(), "^test*.pas;*.pas", FileAttributeNormal)),
        (std::set<std::string>{"main.pas", "obj.pas"}));
}

TEST_F(FolderListingTest, ExclusionsOnlyAcceptTheRest) {
    EXPECT_EQ(
        namesOf(listFolder(systemPlatform(), dir.path(), "^*.bak", FileAttributeNormal)),
        (std::set<std::string>{"test1.pas", "main.pas", "README", "readme.", "sub", "obj.pas"}));
}

TEST_F(FolderListingTest, EmptyListAcceptsAllButDotNames) {
    const FolderListing listing = listFolder(systemPlatform(), dir.path(), "", FileAttributeNormal);
    EXPECT_EQ(listing.count(), 7);
    EXPECT_EQ(namesOf(listing).count("."), 0u);
    EXPECT_EQ(namesOf(listing).count(".."), 0u);
}

TEST_F(FolderListingTest, BlanksAndEmptyPiecesAreIgnored) {
    EXPECT_EQ(
        namesOf(listFolder(systemPlatform(), dir.path(), " *.pas ;; ^test* ", FileAttributeNormal)),
        namesOf(listFolder(systemPlatform(), dir.path(), "*.pas;^test*", FileAttributeNormal)));
}

TEST_F(FolderListingTest, DirectoryFilterAcceptsEveryFolder) {
    const FolderListing listing = listFolder(systemPlatform(), dir.path(), "*.txt",
                                             FileAttributeNormal | FileAttributeDirectory);
    EXPECT_EQ(namesOf(listing), (std::set<std::string>{"sub", "obj.pas"}));
    for (std::int32_t i = 0; i < listing.count(); ++i) EXPECT_TRUE(listing.isFolder(i));
}

TEST_F(FolderListingTest, FoldersWithoutDirectoryFilterNeedAMatchingMask) {
    const FolderListing listing =
        listFolder(systemPlatform(), dir.path(), "*.pas", FileAttributeNormal);
    const auto names = namesOf(listing);
    EXPECT_EQ(names.count("sub"), 0u);
    EXPECT_EQ(names.count("obj.pas"), 1u);
}

TEST_F(FolderListingTest, OnlyFoldersWhenDirectoryAttributeIsRequired) {
    EXPECT_EQ(namesOf(listFolder(systemPlatform(), dir.path(), "", FileAttributeDirectory)),
              (std::set<std::string>{"sub", "obj.pas"}));
}

TEST_F(FolderListingTest, SingleMask) {
    EXPECT_EQ(namesOf(listFolderWithMask(systemPlatform(), dir.path(), "*.*", FileAttributeNormal))
                  .size(),
              7u)
        << "*.* stands for every name";
    EXPECT_EQ(
        namesOf(listFolderWithMask(systemPlatform(), dir.path(), "*.PAS", FileAttributeNormal)),
        (std::set<std::string>{"test1.pas", "main.pas", "obj.pas"}));
}

TEST_F(FolderListingTest, PathEndsWithSeparator) {
    const std::string bare = dir.path().substr(0, dir.path().size() - 1);
    EXPECT_EQ(listFolder(systemPlatform(), bare, "", FileAttributeNormal).path(), dir.path());
    EXPECT_EQ(listFolder(systemPlatform(), dir.path(), "", FileAttributeNormal).path(), dir.path());
}

TEST(FolderListing, MissingOrEmptyPathGivesEmptyListing) {
    TempDir dir;
    EXPECT_EQ(listFolder(systemPlatform(), dir / "missing", "", FileAttributeNormal).count(), 0);
    const FolderListing empty = listFolder(systemPlatform(), "", "", FileAttributeNormal);
    EXPECT_EQ(empty.count(), 0);
    EXPECT_EQ(empty.path(), "");
    EXPECT_EQ(empty.name(0), "");
    EXPECT_FALSE(empty.isFolder(-1));
}

TEST(FolderListing, LinksAreFollowedAndDeadOnesSkipped) {
    TempDir dir;
    writeDiskFile(dir / "real/file.txt", "x");
    ASSERT_EQ(symlink((dir / "real/file.txt").c_str(), (dir / "link.txt").c_str()), 0);
    ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "linkdir").c_str()), 0);
    ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "dead.txt").c_str()), 0);
    const FolderListing listing = listFolder(systemPlatform(), dir.path(), "", FileAttributeNormal);
    EXPECT_EQ(namesOf(listing), (std::set<std::string>{"real", "link.txt", "linkdir"}));
    for (std::int32_t i = 0; i < listing.count(); ++i) {
        EXPECT_EQ(listing.isFolder(i), listing.name(i) != "link.txt") << listing.name(i);
    }
}

TEST(FolderListing, FailuresAreReportedButDeadEntriesAreNone) {
    TempDir dir;
    for (const char* name : {"a", "b", "c"}) writeDiskFile(dir / name, "x");
    ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "dead").c_str()), 0);
    ASSERT_EQ(symlink((dir / "loop").c_str(), (dir / "loop").c_str()), 0);
    const FolderListing whole = listFolder(systemPlatform(), dir.path(), "", FileAttributeNormal);
    EXPECT_EQ(namesOf(whole), (std::set<std::string>{"a", "b", "c"}));
    EXPECT_FALSE(whole.failure().error.failed()) << "a dead or looping link is no failure";

    const struct {
        const char* situation;
        std::function<void(testkit::FaultPlatform&)> stage;
        std::string folder;
        int error;
    } cases[] = {
        {"missing folder", [](testkit::FaultPlatform&) {}, dir / "missing/", 0},
        {"folder refused",
         [](testkit::FaultPlatform& faults) { faults.failCall(testkit::Call::OpenFolder); },
         dir.path(), EACCES},
        {"reading breaks off",
         [](testkit::FaultPlatform& faults) { faults.failFolderReadingAfter(2); }, dir.path(), EIO},
    };
    for (const auto& c : cases) {
        testkit::FaultPlatform faults;
        c.stage(faults);
        const FolderListing listing = listFolder(faults, c.folder, "", FileAttributeNormal);
        EXPECT_EQ(listing.failure().error, SystemError{c.error}) << c.situation;
        EXPECT_EQ(listing.failure().path, c.error == 0 ? "" : c.folder) << c.situation;
        EXPECT_LE(listing.count(), 2) << c.situation;
    }
}

TEST(FolderListing, PipesAndSocketsAreNoFiles) {
    TempDir dir;
    writeDiskFile(dir / "plain", "x");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    ASSERT_TRUE(testkit::makeSocketFile(dir / "sock"));
    EXPECT_EQ(namesOf(listFolder(systemPlatform(), dir.path(), "", FileAttributeNormal)),
              (std::set<std::string>{"plain"}));
}

}  // namespace
}  // namespace ferry
