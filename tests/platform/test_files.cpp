#include "platform/files.h"

#include <gtest/gtest.h>

#include "support/paths.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::readDiskFile;
using testkit::TempDir;
using testkit::writeDiskFile;

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
    EXPECT_TRUE(fileExists(systemPlatform(), dir / "f.txt"));
    EXPECT_FALSE(folderExists(systemPlatform(), dir / "f.txt"));
    EXPECT_TRUE(folderExists(systemPlatform(), dir.path()));
    EXPECT_FALSE(fileExists(systemPlatform(), dir.path()));
    EXPECT_FALSE(fileExists(systemPlatform(), dir / "missing"));
    EXPECT_FALSE(folderExists(systemPlatform(), dir / "missing"));
    EXPECT_FALSE(fileExists(systemPlatform(), ""));
}

TEST(ForceFolders, CreatesMissingParents) {
    TempDir dir;
    EXPECT_TRUE(forceFolders(systemPlatform(), dir / "x/y/"));
    EXPECT_TRUE(folderExists(systemPlatform(), dir / "x"));
    EXPECT_TRUE(folderExists(systemPlatform(), dir / "x/y"));
    EXPECT_TRUE(forceFolders(systemPlatform(), dir / "x/y")) << "an existing folder";
    EXPECT_TRUE(forceFolders(systemPlatform(), "/"));
    EXPECT_FALSE(forceFolders(systemPlatform(), ""));
}

TEST(ForceFolders, StopsAtFirstFailureKeepingWhatWasMade) {
    TempDir dir;
    testkit::FaultPlatform faults;
    faults.failCall(testkit::Call::MakeFolder, "/b");
    EXPECT_FALSE(forceFolders(faults, dir / "a/b/c"));
    EXPECT_TRUE(folderExists(faults, dir / "a"));
    EXPECT_FALSE(folderExists(faults, dir / "a/b"));
}

TEST(ForceFolders, FailsWhereAFileStands) {
    TempDir dir;
    testkit::writeDiskFile(dir / "a", "file");
    EXPECT_FALSE(forceFolders(systemPlatform(), dir / "a/b"));
}

TEST(OpenFile, WhatEachCreationDoesToANewAndAnExistingFile) {
    TempDir dir;
    Platform& os = systemPlatform();
    const struct {
        FileCreation creation;
        bool opensMissing;
        bool opensExisting;
        bool keepsContent;
    } cases[] = {{FileCreation::OpenExisting, false, true, true},
                 {FileCreation::CreateAlways, true, true, false},
                 {FileCreation::CreateNew, true, false, true},
                 {FileCreation::OpenAlways, true, true, true},
                 {FileCreation::TruncateExisting, false, true, false}};
    // The error kind of a refused open, or nothing for a file that opened (and is closed).
    const auto refusal = [&](const std::string& path, FileCreation creation) {
        const SystemResult<FileHandle> opened = os.openFile(path, FileAccess::Write, creation);
        if (opened) {
            EXPECT_TRUE(os.closeFile(opened.value));
        }
        return errorKind(opened.error);
    };
    int number = 0;
    for (const auto& c : cases) {
        const std::string missing = dir / ("missing" + std::to_string(number));
        const std::string existing = dir / ("existing" + std::to_string(number++));
        writeDiskFile(existing, "hello");
        EXPECT_EQ(refusal(missing, c.creation),
                  c.opensMissing ? ErrorKind::None : ErrorKind::NotFound)
            << number;
        EXPECT_EQ(refusal(existing, c.creation),
                  c.opensExisting ? ErrorKind::None : ErrorKind::Exists)
            << number;
        EXPECT_EQ(readDiskFile(existing), c.keepsContent ? "hello" : "") << number;
    }
    const SystemResult<FileHandle> folder =
        os.openFile(dir.path(), FileAccess::Read, FileCreation::OpenExisting);
    EXPECT_FALSE(folder) << "a folder is no file";
    EXPECT_EQ(folder.value, InvalidFileHandle);
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
