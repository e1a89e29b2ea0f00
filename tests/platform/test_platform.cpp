#include "platform/platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include "compress/file_stream.h"
#include "platform/posix_rename.h"

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
    Platform& os = systemPlatform();
    const SystemResult<> refused = os.renameNoReplace(dir / "a", dir / "b");
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error, SystemError{EEXIST});
    EXPECT_EQ(readDiskFile(dir / "b"), "B");
    EXPECT_TRUE(os.renameNoReplace(dir / "a", dir / "c"));
    EXPECT_EQ(readDiskFile(dir / "c"), "A");
}

// Runs `open` in a child process that an alarm ends after two seconds, so an open that
// waits fails the test instead of hanging it. The error code the open left, 0 when it
// opened a blocking handle that closes with the program, -1 when it did not return.
int openErrorWithin2s(const std::function<SystemResult<FileHandle>()>& open) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(2);
        const SystemResult<FileHandle> opened = open();
        if (!opened) _exit(opened.error.code);
        const FileHandle handle = opened.value;
        const bool blocking = (fcntl(handle, F_GETFL) & O_NONBLOCK) == 0;
        const bool closesOnExec = (fcntl(handle, F_GETFD) & FD_CLOEXEC) != 0;
        _exit(blocking && closesOnExec ? 0 : 255);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(PosixPlatform, OpensOnlyRegularFilesAndNeverWaits) {
    TempDir dir;
    writeDiskFile(dir / "plain", "x");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((dir / "folder").c_str(), 0700), 0);
    ASSERT_TRUE(testkit::makeSocketFile(dir / "sock"));

    const struct {
        std::string path;
        int error;
    } targets[] = {{dir / "plain", 0},
                   {dir / "pipe", EOPNOTSUPP},
                   {dir / "sock", EOPNOTSUPP},
                   {"/dev/null", EOPNOTSUPP},
                   {dir / "folder", EISDIR}};
    StreamPtr stream;  // kept open until the child ends
    const struct {
        const char* name;
        std::function<SystemResult<FileHandle>(const std::string&)> open;
    } openers[] = {
        {"read",
         [](const std::string& path) {
             return systemPlatform().openFile(path, FileAccess::Read, FileCreation::OpenExisting);
         }},
        {"read-write",
         [](const std::string& path) {
             return systemPlatform().openFile(path, FileAccess::ReadWrite,
                                              FileCreation::OpenAlways);
         }},
        {"read stream",
         [&](const std::string& path) {
             stream = openReadFileStream(systemPlatform(), path);
             return SystemResult<FileHandle>{getHandle(*stream), streamError(*stream)};
         }},
        {"write stream",
         [&](const std::string& path) {
             stream = createWriteFileStream(systemPlatform(), path);
             return SystemResult<FileHandle>{getHandle(*stream), streamError(*stream)};
         }},
        {"lock",
         [](const std::string& path) {
             const FileLock lock = systemPlatform().lockFile(path, FileCreation::OpenAlways);
             return SystemResult<FileHandle>{lock.handle, lock.error};
         }},
    };
    for (const auto& target : targets) {
        for (const auto& opener : openers) {
            EXPECT_EQ(openErrorWithin2s([&] { return opener.open(target.path); }), target.error)
                << opener.name << " " << target.path;
        }
    }
}

std::string contentOrNone(const std::string& path) {
    return testkit::diskFileExists(path) ? readDiskFile(path) : "none";
}

// What a file system without the atomic no-replace rename does: links where `linkError`
// is 0, the old name held fast where `unlinkError` is not.
class StagedRenameCalls final : public RenameCalls {
  public:
    StagedRenameCalls(int linkError, int unlinkError, std::string heldName)
        : linkError_(linkError), unlinkError_(unlinkError), heldName_(std::move(heldName)) {}

    int renameNoReplace(const char*, const char*) override { return fail(EINVAL); }
    int link(const char* from, const char* to) override {
        return linkError_ != 0 ? fail(linkError_) : RenameCalls::link(from, to);
    }
    int unlink(const char* path) override {
        return unlinkError_ != 0 && path == heldName_ ? fail(unlinkError_)
                                                      : RenameCalls::unlink(path);
    }

  private:
    static int fail(int error) {
        errno = error;
        return -1;
    }
    int linkError_;
    int unlinkError_;
    std::string heldName_;
};

TEST(PosixRename, NeverReplacesNorLeavesTwoNamesWithoutTheAtomicForm) {
    const struct {
        const char* situation;
        bool targetTaken;
        int linkError;
        int unlinkError;
        bool moved;
        int error;
    } cases[] = {
        {"links", false, 0, 0, true, 0},
        {"links, target taken", true, 0, 0, false, EEXIST},
        {"links, old name held fast", false, 0, EBUSY, false, EBUSY},
        {"no links (FAT)", false, EPERM, 0, true, 0},
        {"no links, target taken", true, EPERM, 0, false, EEXIST},
        {"link refused for another reason", false, EACCES, 0, false, EACCES},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeDiskFile(dir / "a", "A");
        if (c.targetTaken) writeDiskFile(dir / "b", "B");
        StagedRenameCalls calls(c.linkError, c.unlinkError, dir / "a");
        const bool moved = renameWithoutReplacing(dir / "a", dir / "b", calls);
        EXPECT_EQ(moved, c.moved) << c.situation;
        EXPECT_EQ(moved ? 0 : errno, c.error) << c.situation;
        EXPECT_EQ(contentOrNone(dir / "a"), c.moved ? "none" : "A") << c.situation;
        EXPECT_EQ(contentOrNone(dir / "b"), c.moved         ? "A"
                                            : c.targetTaken ? "B"
                                                            : "none")
            << c.situation;
    }
}

TEST(PosixPlatform, LastWriteTimeKeepsTicks) {
    TempDir dir;
    writeDiskFile(dir / "f", "x");
    Platform& os = systemPlatform();
    const FileHandle handle =
        os.openFile(dir / "f", FileAccess::ReadWrite, FileCreation::OpenExisting).value;
    ASSERT_NE(handle, InvalidFileHandle);
    const FileTime wanted{testkit::utcFileTime(2001, 9, 9, 1, 46, 40).ticks + 1234567};
    EXPECT_TRUE(os.setLastWriteTime(handle, wanted));
    const SystemResult<FileTime> got = os.lastWriteTime(handle);
    EXPECT_TRUE(got);
    EXPECT_EQ(got.value, wanted);
    EXPECT_TRUE(os.closeFile(handle));
    EXPECT_EQ(testkit::diskFileTime(dir / "f"), wanted);
}

TEST(PosixPlatform, FailuresComeWithTheirError) {
    TempDir dir;
    Platform& os = systemPlatform();
    const SystemResult<FileHandle> opened =
        os.openFile(dir / "missing", FileAccess::Read, FileCreation::OpenExisting);
    EXPECT_EQ(opened.value, InvalidFileHandle);
    EXPECT_EQ(errorKind(opened.error), ErrorKind::NotFound);
    EXPECT_EQ(errorKind(os.removeFile(dir / "missing").error), ErrorKind::NotFound);
    EXPECT_EQ(errorKind(os.pathInfo(dir / "missing").error), ErrorKind::NotFound);
    const SystemResult<std::unique_ptr<FolderReader>> folder = os.openFolder(dir / "missing");
    EXPECT_EQ(folder.value, nullptr);
    EXPECT_EQ(errorKind(folder.error), ErrorKind::NotFound);
    EXPECT_TRUE(os.removeFile(dir.path()).error.failed()) << "a folder is no file";
    EXPECT_EQ(errorKind(os.roomToWrite(dir / "missing").error), ErrorKind::NotFound);
    EXPECT_GT(os.roomToWrite(dir.path()).value, 0);
}

TEST(FaultPlatform, RefusesOpenEvenForRoot) {
    TempDir dir;
    writeDiskFile(dir / "locked.txt", "x");
    FaultPlatform faults;
    faults.failCall(Call::OpenFile, "locked");
    const SystemResult<FileHandle> locked =
        faults.openFile(dir / "locked.txt", FileAccess::Read, FileCreation::OpenExisting);
    EXPECT_EQ(locked.value, InvalidFileHandle);
    EXPECT_EQ(locked.error, SystemError{EACCES});
    const FileHandle other =
        faults.openFile(dir / "free.txt", FileAccess::Write, FileCreation::CreateAlways).value;
    EXPECT_NE(other, InvalidFileHandle);
    EXPECT_TRUE(faults.closeFile(other));
}

TEST(FaultPlatform, WritesComeUpShortWhenTheMediumIsFull) {
    TempDir dir;
    FaultPlatform faults;
    faults.failWritesAfter(10, "medium");
    const FileHandle handle =
        faults.openFile(dir / "medium.bin", FileAccess::Write, FileCreation::CreateAlways).value;
    ASSERT_NE(handle, InvalidFileHandle);
    EXPECT_EQ(faults.writeFile(handle, "123456", 6).value, 6);
    EXPECT_EQ(faults.writeFile(handle, "789012", 6).value, 4);
    const SystemResult<std::int64_t> full = faults.writeFile(handle, "x", 1);
    EXPECT_EQ(full.value, -1);
    EXPECT_EQ(errorKind(full.error), ErrorKind::LackOfRoom);
    EXPECT_TRUE(faults.closeFile(handle));
    EXPECT_EQ(readDiskFile(dir / "medium.bin"), "1234567890");
}

TEST(FaultPlatform, RefusesChangesEvenForRoot) {
    TempDir dir;
    writeDiskFile(dir / "a", "A");
    writeDiskFile(dir / "b", "B");
    ASSERT_EQ(chmod((dir / "a").c_str(), 0700), 0);
    ASSERT_EQ(chmod((dir / "b").c_str(), 0600), 0);
    FaultPlatform faults;
    Platform& os = faults;
    const FileHandle handle =
        os.openFile(dir / "b", FileAccess::Write, FileCreation::OpenExisting).value;
    ASSERT_NE(handle, InvalidFileHandle);
    const struct {
        Call call;
        std::function<SystemResult<>()> change;
    } changes[] = {
        {Call::RemoveFile, [&] { return os.removeFile(dir / "a"); }},
        {Call::Rename, [&] { return os.renameNoReplace(dir / "a", dir / "c"); }},
        {Call::RenameReplace, [&] { return os.renameReplace(dir / "a", dir / "b"); }},
        {Call::CopyPermissions, [&] { return os.copyPermissions(dir / "a", dir / "b"); }},
        {Call::FlushFile, [&] { return os.flushFile(handle); }},
        {Call::FlushFolder, [&] { return os.flushFolder(dir.path()); }},
    };
    for (const auto& c : changes) {
        faults.failCall(c.call, "", SystemError{EBUSY});
        EXPECT_EQ(c.change().error, SystemError{EBUSY}) << static_cast<int>(c.call);
        faults.heal();
    }
    EXPECT_TRUE(os.closeFile(handle));
    EXPECT_EQ(readDiskFile(dir / "a"), "A");
    EXPECT_EQ(readDiskFile(dir / "b"), "B");
    EXPECT_FALSE(testkit::diskFileExists(dir / "c"));
    struct stat st {};
    EXPECT_EQ(stat((dir / "b").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(PosixPlatform, ReplacingRenameFlushesAndPermissions) {
    TempDir dir;
    writeDiskFile(dir / "script.new", "#!/bin/sh\n");
    writeDiskFile(dir / "script", "old");
    ASSERT_EQ(chmod((dir / "script").c_str(), 04751), 0);
    Platform& os = systemPlatform();
    const FileHandle handle =
        os.openFile(dir / "script.new", FileAccess::ReadWrite, FileCreation::OpenExisting).value;
    ASSERT_NE(handle, InvalidFileHandle);
    EXPECT_TRUE(os.flushFile(handle));
    EXPECT_TRUE(os.closeFile(handle));
    EXPECT_TRUE(os.copyPermissions(dir / "script", dir / "script.new"));
    EXPECT_TRUE(os.renameReplace(dir / "script.new", dir / "script"));
    EXPECT_TRUE(os.flushFolder(dir.path()));
    EXPECT_EQ(readDiskFile(dir / "script"), "#!/bin/sh\n");
    EXPECT_FALSE(testkit::diskFileExists(dir / "script.new"));
    struct stat st {};
    EXPECT_EQ(stat((dir / "script").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 04751u);

    EXPECT_EQ(errorKind(os.flushFolder(dir / "missing").error), ErrorKind::NotFound);
    EXPECT_EQ(errorKind(os.copyPermissions(dir / "missing", dir / "script").error),
              ErrorKind::NotFound);
}

}  // namespace
}  // namespace ferry
