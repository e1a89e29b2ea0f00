#include "platform/withholding_platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/folder_listing.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::diskFileTime;
using testkit::diskTreeSnapshot;
using testkit::readDiskFile;
using testkit::TempDir;
using testkit::utcFileTime;
using testkit::writeDiskFile;

using Entries = std::vector<std::pair<std::string, EntryKind>>;

// The whole file as `os` shows it; nothing when it cannot be opened.
std::optional<std::string> readThrough(Platform& os, const std::string& path) {
    const FileHandle handle = os.openFile(path, FileAccess::Read, FileCreation::OpenExisting).value;
    if (handle == InvalidFileHandle) return std::nullopt;
    std::string content(static_cast<std::size_t>(os.fileSize(handle).value), '\0');
    const std::int64_t got = os.readFile(handle, content.data(), content.size()).value;
    os.closeFile(handle);
    if (got != static_cast<std::int64_t>(content.size())) return std::nullopt;
    return content;
}

FileTime timeThrough(Platform& os, const std::string& path) {
    const FileHandle handle = os.openFile(path, FileAccess::Read, FileCreation::OpenExisting).value;
    const SystemResult<FileTime> time = os.lastWriteTime(handle);
    EXPECT_TRUE(time) << path;
    os.closeFile(handle);
    return time.value;
}

void writeThrough(Platform& os, const std::string& path, const std::string& content,
                  std::optional<FileTime> time = std::nullopt) {
    const FileHandle handle = os.openFile(path, FileAccess::Write, FileCreation::CreateNew).value;
    ASSERT_NE(handle, InvalidFileHandle) << path;
    // In two pieces, as a stream writes.
    const std::size_t half = content.size() / 2;
    EXPECT_EQ(os.writeFile(handle, content.data(), half).value, static_cast<std::int64_t>(half));
    EXPECT_EQ(os.writeFile(handle, content.data() + half, content.size() - half).value,
              static_cast<std::int64_t>(content.size() - half));
    if (time) {
        EXPECT_TRUE(os.setLastWriteTime(handle, *time));
    }
    EXPECT_TRUE(os.flushFile(handle));
    EXPECT_TRUE(os.closeFile(handle));
}

// Entries without "." and "..", in the order the folder gives them.
Entries listThrough(Platform& os, const std::string& path) {
    Entries entries;
    const auto reader = os.openFolder(path);
    if (!reader) return entries;
    FolderEntry entry;
    while (reader.value->next(entry)) {
        if (entry.name != "." && entry.name != "..") entries.emplace_back(entry.name, entry.kind);
    }
    return entries;
}

bool exists(Platform& os, const std::string& path) {
    return os.pathInfo(path).exists;
}

// A synchronization's changes, step by step: a new archive written under a temporary
// name and put in place, a file from the medium with the previous version kept as .old,
// new folders with a new file, a file appended to, a file deleted while open.
TEST(WithholdingPlatform, ShowsEveryChangeOfASynchronizationAndLeavesTheDiskAlone) {
    TempDir dir;
    const std::string ferry = dir / "medium/Ferry/";
    const std::string work = dir / "work/";
    const FileTime diskTime = utcFileTime(2020, 5, 1, 12);
    const FileTime archiveTime = utcFileTime(2024, 1, 2, 3, 4, 5, 678);
    const FileTime recordTime = utcFileTime(2023, 6, 7, 8, 9, 10, 111);
    writeDiskFile(ferry + "proj.move", "old archive");
    writeDiskFile(work + "a.pas", "disk A");
    testkit::setDiskFileTime(work + "a.pas", diskTime);
    writeDiskFile(work + "a.pas.old", "older A");
    writeDiskFile(work + "b.pas", "disk B");
    writeDiskFile(work + "src/c.pas", "disk C");
    const Entries diskOrder = listThrough(systemPlatform(), work);
    const std::string before = diskTreeSnapshot(dir.path());

    WithholdingPlatform preview(systemPlatform());
    writeThrough(preview, ferry + "proj.tmp", "new archive", archiveTime);
    EXPECT_TRUE(preview.flushFolder(ferry));
    EXPECT_TRUE(preview.renameReplace(ferry + "proj.tmp", ferry + "proj.move"));
    EXPECT_TRUE(preview.flushFolder(ferry));

    writeThrough(preview, work + "a.pas.tmp", "medium A", recordTime);
    EXPECT_TRUE(preview.copyPermissions(work + "a.pas", work + "a.pas.tmp"));
    EXPECT_TRUE(preview.renameReplace(work + "a.pas", work + "a.pas.old"));
    EXPECT_TRUE(preview.renameNoReplace(work + "a.pas.tmp", work + "a.pas"));

    EXPECT_TRUE(preview.makeFolder(work + "new"));
    EXPECT_TRUE(preview.makeFolder(work + "new/deep/"));
    writeThrough(preview, work + "new/deep/d.pas", "medium D");

    const FileHandle append =
        preview.openFile(work + "b.pas", FileAccess::ReadWrite, FileCreation::OpenExisting).value;
    EXPECT_EQ(preview.seekFile(append, 0, 2).value, 6);
    EXPECT_EQ(preview.writeFile(append, "+", 1).value, 1);
    EXPECT_EQ(preview.fileSize(append).value, 7);
    EXPECT_TRUE(preview.closeFile(append));

    const FileHandle open =
        preview.openFile(work + "src/c.pas", FileAccess::Read, FileCreation::OpenExisting).value;
    EXPECT_TRUE(preview.removeFile(work + "src/c.pas"));
    char held[6] = {};
    EXPECT_EQ(preview.readFile(open, held, sizeof held).value, 6);
    EXPECT_EQ(std::string(held, 6), "disk C");
    EXPECT_TRUE(preview.closeFile(open));

    // The world seen through the preview.
    EXPECT_EQ(readThrough(preview, ferry + "proj.move"), "new archive");
    EXPECT_EQ(timeThrough(preview, ferry + "proj.move"), archiveTime);
    EXPECT_FALSE(exists(preview, ferry + "proj.tmp"));
    EXPECT_EQ(listThrough(preview, ferry), (Entries{{"proj.move", EntryKind::File}}));
    EXPECT_EQ(readThrough(preview, work + "a.pas"), "medium A");
    EXPECT_EQ(timeThrough(preview, work + "a.pas"), recordTime);
    EXPECT_EQ(readThrough(preview, work + "a.pas.old"), "disk A");
    EXPECT_EQ(timeThrough(preview, work + "a.pas.old"), diskTime);
    EXPECT_EQ(readThrough(preview, work + "b.pas"), "disk B+");
    EXPECT_FALSE(exists(preview, work + "src/c.pas"));
    EXPECT_EQ(readThrough(preview, work + "src/c.pas"), std::nullopt);
    EXPECT_EQ(errorKind(preview.pathInfo(work + "src/c.pas").error), ErrorKind::NotFound);
    EXPECT_TRUE(preview.pathInfo(work + "new/deep").isFolder);
    EXPECT_EQ(readThrough(preview, work + "new/deep/d.pas"), "medium D");

    Entries expected = diskOrder;
    expected.emplace_back("new", EntryKind::Folder);
    EXPECT_EQ(listThrough(preview, work), expected);
    EXPECT_EQ(listThrough(preview, work + "src"), Entries{});
    EXPECT_EQ(listThrough(preview, work + "new"), (Entries{{"deep", EntryKind::Folder}}));
    {
        const FolderListing listing =
            listFolder(preview, work + "new/deep", "*.pas", FileAttributeNormal);
        ASSERT_EQ(listing.count(), 1);
        EXPECT_EQ(listing.name(0), "d.pas");
        EXPECT_NE(listing.identity(), FolderListing().identity());
    }

    // The disk as it was.
    EXPECT_EQ(diskTreeSnapshot(dir.path()), before);
    EXPECT_EQ(readDiskFile(work + "a.pas"), "disk A");
    EXPECT_EQ(diskFileTime(work + "a.pas"), diskTime);
}

// A preview must stop where the real run would: every refusal the disk would give, and
// every failure of the platform beneath, comes back with its error code.
TEST(WithholdingPlatform, RefusesWhatTheDiskWouldRefuse) {
    TempDir dir;
    writeDiskFile(dir / "a", "A");
    writeDiskFile(dir / "b", "B");
    writeDiskFile(dir / "locked", "L");
    writeDiskFile(dir / "folder/inside", "I");
    writeDiskFile(dir / "broken/inside", "I");
    const std::string before = diskTreeSnapshot(dir.path());

    // The error of the open, or of the close after it.
    const auto opens = [&](Platform& os, const std::string& name, FileAccess access,
                           FileCreation creation) {
        const SystemResult<FileHandle> opened = os.openFile(dir / name, access, creation);
        return opened ? os.closeFile(opened.value).error : opened.error;
    };
    // The error of the first step, else of the second.
    const auto first = [](SystemError error, const std::function<SystemError()>& then) {
        return error.failed() ? error : then();
    };
    struct Case {
        const char* what;
        std::function<SystemError(Platform&)> act;
        int error;
    };
    const std::vector<Case> cases = {
        {"rename onto an existing file",
         [&](Platform& os) { return os.renameNoReplace(dir / "a", dir / "b").error; }, EEXIST},
        {"rename onto a file made in memory",
         [&](Platform& os) {
             return first(opens(os, "c", FileAccess::Write, FileCreation::CreateNew),
                          [&] { return os.renameNoReplace(dir / "a", dir / "c").error; });
         },
         EEXIST},
        {"replace a folder",
         [&](Platform& os) { return os.renameReplace(dir / "a", dir / "folder").error; }, EISDIR},
        {"rename of a file deleted in memory",
         [&](Platform& os) {
             return first(os.removeFile(dir / "a").error,
                          [&] { return os.renameNoReplace(dir / "a", dir / "c").error; });
         },
         ENOENT},
        {"create over an existing file",
         [&](Platform& os) { return opens(os, "a", FileAccess::Write, FileCreation::CreateNew); },
         EEXIST},
        {"create in a missing folder",
         [&](Platform& os) {
             return opens(os, "none/x", FileAccess::Write, FileCreation::CreateAlways);
         },
         ENOENT},
        {"open a file deleted in memory",
         [&](Platform& os) {
             return first(os.removeFile(dir / "a").error, [&] {
                 return opens(os, "a", FileAccess::Read, FileCreation::OpenExisting);
             });
         },
         ENOENT},
        {"open a folder as a file",
         [&](Platform& os) {
             return opens(os, "folder", FileAccess::Read, FileCreation::OpenExisting);
         },
         EISDIR},
        {"delete a folder as a file",
         [&](Platform& os) { return os.removeFile(dir / "folder").error; }, EISDIR},
        {"make a folder where a file is",
         [&](Platform& os) { return os.makeFolder(dir / "a").error; }, EEXIST},
        {"make a folder inside a file",
         [&](Platform& os) { return os.makeFolder(dir / "a/sub").error; }, ENOTDIR},
        {"copy the permissions of a file deleted in memory",
         [&](Platform& os) {
             return first(os.removeFile(dir / "a").error,
                          [&] { return os.copyPermissions(dir / "a", dir / "b").error; });
         },
         ENOENT},
        {"flush a folder that is not there",
         [&](Platform& os) { return os.flushFolder(dir / "none").error; }, ENOENT},
        {"list a file", [&](Platform& os) { return os.openFolder(dir / "a").error; }, ENOTDIR},
        {"write through a handle opened for reading",
         [&](Platform& os) {
             const FileHandle handle =
                 os.openFile(dir / "a", FileAccess::Read, FileCreation::OpenExisting).value;
             const SystemError error = os.writeFile(handle, "x", 1).error;
             os.closeFile(handle);
             return error;
         },
         EBADF},
        {"open refused beneath",
         [&](Platform& os) {
             return opens(os, "locked", FileAccess::ReadWrite, FileCreation::OpenExisting);
         },
         EACCES},
        {"list refused beneath", [&](Platform& os) { return os.openFolder(dir / "folder").error; },
         EACCES},
    };
    for (const Case& c : cases) {
        testkit::FaultPlatform beneath;
        beneath.failCall(testkit::Call::OpenFile, "locked");
        beneath.failCall(testkit::Call::OpenFolder, "folder");
        WithholdingPlatform preview(beneath);
        EXPECT_EQ(c.act(preview), SystemError{c.error}) << c.what;
    }

    // A folder the disk cannot read whole fails through the preview as well, and does
    // not pass off what was made in memory as the rest of it.
    testkit::FaultPlatform beneath;
    beneath.failFolderReadingAfter(1, "broken");
    WithholdingPlatform preview(beneath);
    EXPECT_FALSE(opens(preview, "broken/new", FileAccess::Write, FileCreation::CreateNew).failed());
    const FolderListing listing = listFolder(preview, dir / "broken", "", FileAttributeNormal);
    EXPECT_EQ(listing.failure().error, SystemError{EIO});
    for (std::int32_t i = 0; i < listing.count(); ++i) EXPECT_NE(listing.name(i), "new");

    EXPECT_EQ(diskTreeSnapshot(dir.path()), before);
}

}  // namespace
}  // namespace ferry
