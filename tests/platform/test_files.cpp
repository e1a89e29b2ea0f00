#include "platform/files.h"

#include <gtest/gtest.h>

#include "support/paths.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::TempDir;

TEST(Paths, NameAndFolder) {
    EXPECT_EQ(fileNameOf("/a/b.txt"), "b.txt");
    EXPECT_EQ(fileNameOf("b.txt"), "b.txt");
    EXPECT_EQ(fileNameOf("/a/"), "");
    EXPECT_EQ(fileNameOf("C:b.txt"), "C:b.txt") << "a colon separates nothing here";
    EXPECT_EQ(folderOf("/a/b.txt"), "/a/");
    EXPECT_EQ(folderOf("b.txt"), "");
    EXPECT_EQ(folderOf("a\\b.txt"), "") << "a backslash is part of a name";
}

TEST(Paths, TrailingSeparator) {
    EXPECT_EQ(withTrailingSeparator("/a"), "/a/");
    EXPECT_EQ(withTrailingSeparator("/a/"), "/a/");
    EXPECT_EQ(withTrailingSeparator(""), "/");
    EXPECT_EQ(withoutTrailingSeparator("/a/"), "/a");
    EXPECT_EQ(withoutTrailingSeparator("/a"), "/a");
    EXPECT_EQ(withoutTrailingSeparator("/a//"), "/a/") << "only one is removed";
}

TEST(Existence, FilesAndFoldersApart) {
    TempDir dir;
    testkit::writeDiskFile(dir / "f.txt", "x");
    EXPECT_TRUE(fileExists(dir / "f.txt"));
    EXPECT_FALSE(folderExists(dir / "f.txt"));
    EXPECT_TRUE(folderExists(dir.path()));
    EXPECT_FALSE(fileExists(dir.path()));
    EXPECT_FALSE(fileExists(dir / "missing"));
    EXPECT_FALSE(folderExists(dir / "missing"));
    EXPECT_FALSE(fileExists(""));
}

TEST(ForceFolders, CreatesMissingParents) {
    TempDir dir;
    EXPECT_TRUE(forceFolders(dir / "x/y/"));
    EXPECT_TRUE(folderExists(dir / "x"));
    EXPECT_TRUE(folderExists(dir / "x/y"));
    EXPECT_TRUE(forceFolders(dir / "x/y")) << "an existing folder";
    EXPECT_TRUE(forceFolders("/"));
    EXPECT_FALSE(forceFolders(""));
}

TEST(ForceFolders, StopsAtFirstFailureKeepingWhatWasMade) {
    TempDir dir;
    testkit::FaultPlatform faults;
    faults.failCall(testkit::Call::MakeFolder, "/b");
    ScopedPlatform use(faults);
    EXPECT_FALSE(forceFolders(dir / "a/b/c"));
    EXPECT_TRUE(folderExists(dir / "a"));
    EXPECT_FALSE(folderExists(dir / "a/b"));
}

TEST(ForceFolders, FailsWhereAFileStands) {
    TempDir dir;
    testkit::writeDiskFile(dir / "a", "file");
    EXPECT_FALSE(forceFolders(dir / "a/b"));
}

TEST(OpenFileHandle, DispositionsOfTheFlagWord) {
    TempDir dir;
    const std::string name = dir / "f";
    const std::uint32_t readExisting = OpenFlags::GenericRead | OpenFlags::OpenExisting;
    const std::uint32_t readWriteExisting =
        OpenFlags::GenericRead | OpenFlags::GenericWrite | OpenFlags::OpenExisting;
    EXPECT_EQ(openFileHandle(name, readExisting), InvalidFileHandle);
    EXPECT_EQ(openFileHandle(name, 0xC0000300), InvalidFileHandle) << "open existing only";

    const FileHandle created =
        openFileHandle(name, OpenFlags::GenericWrite | OpenFlags::CreateAlways);
    ASSERT_NE(created, InvalidFileHandle);
    EXPECT_EQ(platform().writeFile(created, "hello", 5), 5);
    EXPECT_TRUE(closeFileHandle(created));

    const FileHandle reopened = openFileHandle(name, readWriteExisting);
    ASSERT_NE(reopened, InvalidFileHandle);
    EXPECT_EQ(platform().fileSize(reopened), 5) << "open existing keeps the content";
    EXPECT_TRUE(closeFileHandle(reopened));

    EXPECT_EQ(openFileHandle(name, OpenFlags::GenericWrite | OpenFlags::CreateNew),
              InvalidFileHandle);
    EXPECT_EQ(openFileHandle(dir.path(), readExisting), InvalidFileHandle) << "a folder is no file";
    EXPECT_FALSE(closeFileHandle(InvalidFileHandle));
}

TEST(CompareFileTimes, ToTheMillisecond) {
    const FileTime base = testkit::utcFileTime(2026, 12, 6, 10, 0, 0, 500);
    const FileTime halfMsLater{base.ticks + 5000};
    const FileTime nextMs{base.ticks + 10000};
    EXPECT_EQ(compareFileTimes(base, halfMsLater), 0);
    EXPECT_EQ(compareFileTimes(base, nextMs), -1);
    EXPECT_EQ(compareFileTimes(nextMs, base), 1);
    EXPECT_EQ(compareFileTimes(base, base), 0);
    const FileTime nextYear = testkit::utcFileTime(2027, 1, 1);
    EXPECT_EQ(compareFileTimes(nextYear, base), 1);
}

}  // namespace
}  // namespace ferry
