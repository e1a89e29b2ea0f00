#include "support/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::Call;
using testkit::FaultPlatform;
using testkit::readDiskFile;
using testkit::TempDir;
using testkit::writeDiskFile;

TEST(PosixPlatform, RenameNeverOverwrites) {
    TempDir dir;
    writeDiskFile(dir / "a", "A");
    writeDiskFile(dir / "b", "B");
    Platform& os = platform();
    EXPECT_FALSE(os.renameNoReplace(dir / "a", dir / "b"));
    EXPECT_EQ(os.lastError(), EEXIST);
    EXPECT_EQ(readDiskFile(dir / "b"), "B");
    EXPECT_TRUE(os.renameNoReplace(dir / "a", dir / "c"));
    EXPECT_EQ(readDiskFile(dir / "c"), "A");
}

TEST(PosixPlatform, LastWriteTimeKeepsTicks) {
    TempDir dir;
    writeDiskFile(dir / "f", "x");
    Platform& os = platform();
    const FileHandle handle =
        os.openFile(dir / "f", FileAccess::ReadWrite, FileCreation::OpenExisting);
    ASSERT_NE(handle, InvalidFileHandle);
    const FileTime wanted{testkit::utcFileTime(2001, 9, 9, 1, 46, 40).ticks + 1234567};
    EXPECT_TRUE(os.setLastWriteTime(handle, wanted));
    FileTime got;
    EXPECT_TRUE(os.lastWriteTime(handle, got));
    EXPECT_EQ(got, wanted);
    EXPECT_TRUE(os.closeFile(handle));
    EXPECT_EQ(testkit::diskFileTime(dir / "f"), wanted);
}

TEST(PosixPlatform, FailuresLeaveTheErrorCode) {
    TempDir dir;
    Platform& os = platform();
    EXPECT_EQ(os.openFile(dir / "missing", FileAccess::Read, FileCreation::OpenExisting),
              InvalidFileHandle);
    EXPECT_EQ(os.lastError(), ENOENT);
    EXPECT_FALSE(os.removeFile(dir / "missing"));
    EXPECT_EQ(os.lastError(), ENOENT);
    EXPECT_EQ(os.openFolder(dir / "missing"), nullptr);
}

TEST(FaultPlatform, RefusesOpenEvenForRoot) {
    TempDir dir;
    writeDiskFile(dir / "locked.txt", "x");
    FaultPlatform faults;
    faults.failCall(Call::OpenFile, "locked");
    ScopedPlatform use(faults);
    EXPECT_EQ(platform().openFile(dir / "locked.txt", FileAccess::Read, FileCreation::OpenExisting),
              InvalidFileHandle);
    EXPECT_EQ(platform().lastError(), EACCES);
    const FileHandle other =
        platform().openFile(dir / "free.txt", FileAccess::Write, FileCreation::CreateAlways);
    EXPECT_NE(other, InvalidFileHandle);
    EXPECT_TRUE(platform().closeFile(other));
}

TEST(FaultPlatform, WritesComeUpShortWhenTheMediumIsFull) {
    TempDir dir;
    FaultPlatform faults;
    faults.failWritesAfter(10, "medium");
    ScopedPlatform use(faults);
    const FileHandle handle =
        platform().openFile(dir / "medium.bin", FileAccess::Write, FileCreation::CreateAlways);
    ASSERT_NE(handle, InvalidFileHandle);
    EXPECT_EQ(platform().writeFile(handle, "123456", 6), 6);
    EXPECT_EQ(platform().writeFile(handle, "789012", 6), 4);
    EXPECT_EQ(platform().writeFile(handle, "x", 1), -1);
    EXPECT_EQ(platform().lastError(), ENOSPC);
    EXPECT_TRUE(platform().closeFile(handle));
    EXPECT_EQ(readDiskFile(dir / "medium.bin"), "1234567890");
}

TEST(FaultPlatform, RefusesDeleteAndRename) {
    TempDir dir;
    writeDiskFile(dir / "a", "A");
    FaultPlatform faults;
    faults.failCall(Call::RemoveFile);
    faults.failCall(Call::Rename, "", EBUSY);
    ScopedPlatform use(faults);
    EXPECT_FALSE(platform().removeFile(dir / "a"));
    EXPECT_FALSE(platform().renameNoReplace(dir / "a", dir / "b"));
    EXPECT_EQ(platform().lastError(), EBUSY);
    EXPECT_EQ(readDiskFile(dir / "a"), "A");
    faults.heal();
    EXPECT_TRUE(platform().renameNoReplace(dir / "a", dir / "b"));
}

TEST(ScopedPlatform, RestoresThePreviousPlatform) {
    Platform* before = &platform();
    {
        FaultPlatform faults;
        ScopedPlatform use(faults);
        EXPECT_EQ(&platform(), &faults);
    }
    EXPECT_EQ(&platform(), before);
}

}  // namespace
}  // namespace ferry
