#include "sync/project_file_set.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <set>
#include <vector>

#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::TempDir;
using testkit::writeDiskFile;

std::vector<std::string> gathered(const std::string& folder, const std::string& masks,
                                  bool subfolders) {
    StringList list = newStringListWithData();
    EXPECT_FALSE(
        gatherProjectFiles(systemPlatform(), list, folder, masks, subfolders).error.failed());
    std::vector<std::string> paths;
    for (std::int32_t i = 0; i < list.count(); ++i) {
        EXPECT_EQ(list.data(i), 0u) << "items start unmarked";
        paths.push_back(list.item(i));
    }
    return paths;
}

std::set<std::string> asSet(const std::vector<std::string>& paths) {
    return {paths.begin(), paths.end()};
}

TEST(MatchesMaskList, EveryPieceIsAPlainMask) {
    EXPECT_TRUE(matchesMaskList("a1.pas", "*.txt; *.PAS"));
    EXPECT_FALSE(matchesMaskList("a1.pas", ""));
    EXPECT_FALSE(matchesMaskList("a1.pas", "^*.bak"));
    EXPECT_TRUE(matchesMaskList("^x.bak", "^*.bak")) << "no exclusions here";
    EXPECT_FALSE(matchesMaskList("a1.pas", "*.txt;;  ;"));
    EXPECT_TRUE(matchesMaskList("a1.pas", "*.txt;;*.pas"));
}

class ProjectFileSetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"a.pas", "x1.pas", "B.PAS", "old.bak", "README", "obj/in.pas",
                                 "obj/deep/more.pas", "obj/deep/skip.txt", "src/s.pas"}) {
            writeDiskFile(root / name, "x");
        }
    }
    TempDir root;
};

TEST_F(ProjectFileSetTest, FirstDecidingPieceWins) {
    const auto included = asSet(gathered(root.path(), "*.pas;^x*.pas", false));
    EXPECT_TRUE(included.count(root / "x1.pas"));
    const auto excluded = asSet(gathered(root.path(), "^x*.pas;*.pas", false));
    EXPECT_FALSE(excluded.count(root / "x1.pas"));
    EXPECT_TRUE(excluded.count(root / "a.pas"));
}

TEST_F(ProjectFileSetTest, ExclusionOnlyListsTheRest) {
    EXPECT_EQ(
        asSet(gathered(root.path(), "^*.bak", false)),
        (std::set<std::string>{root / "a.pas", root / "x1.pas", root / "B.PAS", root / "README"}));
}

TEST_F(ProjectFileSetTest, EmptyMaskListListsEverything) {
    EXPECT_EQ(gathered(root.path(), "", true).size(), 9u);
}

TEST_F(ProjectFileSetTest, DotMaskNeedsADot) {
    EXPECT_FALSE(asSet(gathered(root.path(), "*.*", false)).count(root / "README"));
}

TEST_F(ProjectFileSetTest, BlanksAndDoubleSeparatorsDoNotMatter) {
    EXPECT_EQ(gathered(root.path(), "  *.pas ;; ^x* ", true),
              gathered(root.path(), "*.pas;^x*", true));
}

TEST_F(ProjectFileSetTest, CaseIsIgnored) {
    EXPECT_TRUE(asSet(gathered(root.path(), "*.pas", false)).count(root / "B.PAS"));
}

TEST_F(ProjectFileSetTest, SubfoldersOnlyWhenAsked) {
    for (const std::string& path : gathered(root.path(), "", false)) {
        EXPECT_EQ(path.find('/', root.path().size()), std::string::npos) << path;
    }
}

TEST_F(ProjectFileSetTest, ExcludedFolderNameIsStillEntered) {
    const auto files = asSet(gathered(root.path(), "*.pas;^obj", true));
    EXPECT_TRUE(files.count(root / "obj/in.pas"));
    EXPECT_TRUE(files.count(root / "obj/deep/more.pas"));
    EXPECT_FALSE(files.count(root / "obj/deep/skip.txt"));
}

TEST_F(ProjectFileSetTest, DepthFirstAtTheFoldersPlace) {
    const auto files = gathered(root.path(), "", true);
    const auto at = [&](const std::string& path) {
        return std::find(files.begin(), files.end(), path) - files.begin();
    };
    // The files of obj/ and obj/deep/ stand together, obj/deep's right after its parent's
    // own entries that came before it, never split by files of other folders.
    const auto in = at(root / "obj/in.pas");
    const auto more = at(root / "obj/deep/more.pas");
    const auto skip = at(root / "obj/deep/skip.txt");
    EXPECT_EQ(std::abs(more - skip), 1);
    EXPECT_EQ(std::abs(in - std::min(more, skip)) == 1 || std::abs(in - std::max(more, skip)) == 1,
              true);
}

TEST_F(ProjectFileSetTest, FolderWithOrWithoutTrailingSeparator) {
    const std::string bare = root.path().substr(0, root.path().size() - 1);
    EXPECT_EQ(gathered(bare, "*.pas", true), gathered(root.path(), "*.pas", true));
}

TEST_F(ProjectFileSetTest, AppendsToWhatTheListHolds) {
    StringList list = newStringListWithData();
    list.add("earlier");
    EXPECT_FALSE(
        gatherProjectFiles(systemPlatform(), list, root.path(), "a.pas", false).error.failed());
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(0), "earlier");
    EXPECT_EQ(list.item(1), root / "a.pas");
}

TEST_F(ProjectFileSetTest, UnreadableSubfolderStopsTheWalkAndIsNamed) {
    using testkit::Call;
    using testkit::FaultPlatform;
    const struct {
        const char* situation;
        std::function<void(FaultPlatform&)> stage;
        std::string folder;
        SystemError error;
    } cases[] = {
        {"subfolder refused",
         [](FaultPlatform& faults) {
             faults.failCall(Call::OpenFolder, "obj/deep", testkit::AccessDenied);
         },
         root / "obj/deep/", testkit::AccessDenied},
        {"subfolder reading breaks off",
         [](FaultPlatform& faults) {
             faults.failFolderReadingAfter(3, "src", testkit::DeviceFailure);
         },
         root / "src/", testkit::DeviceFailure},
        {"top folder refused",
         [](FaultPlatform& faults) {
             faults.failCall(Call::OpenFolder, "", testkit::AccessDenied);
         },
         root.path(), testkit::AccessDenied},
    };
    for (const auto& c : cases) {
        FaultPlatform faults;
        c.stage(faults);
        StringList list = newStringListWithData();
        const ListingFailure failure = gatherProjectFiles(faults, list, root.path(), "", true);
        EXPECT_EQ(failure.error, c.error) << c.situation;
        EXPECT_EQ(failure.path, c.folder) << c.situation;
        EXPECT_LT(list.count(), 9) << c.situation;
    }
}

TEST(ProjectFileSet, MissingFolderAddsNothing) {
    TempDir root;
    EXPECT_TRUE(gathered(root / "nowhere", "", true).empty());
}

TEST(ProjectFileSet, LinkCycleEnds) {
    TempDir root;
    writeDiskFile(root / "a/file.txt", "x");
    writeDiskFile(root / "a/b/deeper.txt", "x");
    ASSERT_EQ(symlink((root / "a").c_str(), (root / "a/b/back").c_str()), 0);
    ASSERT_EQ(symlink(root.path().c_str(), (root / "a/up").c_str()), 0);
    EXPECT_EQ(asSet(gathered(root.path(), "", true)),
              (std::set<std::string>{root / "a/file.txt", root / "a/b/deeper.txt"}));
}

TEST(ProjectFileSet, LinkedFolderOutsideTheTreeIsFollowed) {
    TempDir root;
    TempDir elsewhere;
    writeDiskFile(elsewhere / "shared.txt", "x");
    writeDiskFile(root / "own.txt", "x");
    ASSERT_EQ(symlink(elsewhere.path().c_str(), (root / "lib").c_str()), 0);
    ASSERT_EQ(symlink(elsewhere.path().c_str(), (root / "lib2").c_str()), 0);
    EXPECT_EQ(asSet(gathered(root.path(), "", true)),
              (std::set<std::string>{root / "own.txt", root / "lib/shared.txt",
                                     root / "lib2/shared.txt"}))
        << "the same folder twice side by side is no cycle";
}

}  // namespace
}  // namespace ferry
