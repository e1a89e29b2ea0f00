// A hostile or unlucky medium against one machine's disk: nothing outside the work
// directory changes, whatever the archive names and whatever links the directory holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "archive/disk_file_writer.h"
#include "archive/media_archive.h"
#include "support/paths.h"
#include "sync/sync_messages.h"
#include "tests/sync/sync_testkit.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/pass_through_platform.h"

namespace ferry {
namespace {

using testkit::ArchiveRecord;
using testkit::diskTreeSnapshot;
using testkit::Machine;
using testkit::ProjectSpec;
using testkit::readDiskFile;
using testkit::setDiskFileTime;
using testkit::TempDir;
using testkit::utcFileTime;
using testkit::writeDiskFile;

const FileTime Old = utcFileTime(2024, 1, 1, 10);
const FileTime New = utcFileTime(2024, 1, 5, 10);

class SafetyTest : public ::testing::Test {
  protected:
    TempDir medium;
    TempDir outside;  // somewhere the links lead; it must never change
    Machine bob;
    ProjectSpec project{bob.folder.path(), "*.txt", true};

    std::string archive() const { return testkit::archivePathOf(medium.path(), project); }
    void putArchive(const std::vector<ArchiveRecord>& records) {
        writeDiskFile(
            archive(),
            testkit::archiveBytes(
                buildHeaderText({project.includeSubfolders, project.path, project.mask}), records));
    }
    ProjectResult syncBob() {
        return testkit::synchronizeOn(bob, medium.path(), project, bob.folder.path());
    }
    // The archive overwritten with `bytes` of its size, its write time then set to `time`.
    void rewriteInPlace(const std::string& bytes, FileTime time) {
        ASSERT_EQ(bytes.size(), readDiskFile(archive()).size());
        std::fstream(archive(), std::ios::in | std::ios::out | std::ios::binary) << bytes;
        setDiskFileTime(archive(), time);
    }
    // An archive of `big` and a newer a.txt, its content chosen so that the archive keeps
    // its size.
    std::string craftedArchive(const ArchiveRecord& big) {
        std::string crafted;
        for (char c = 'A'; c <= 'z' && crafted.size() != readDiskFile(archive()).size(); ++c) {
            crafted = testkit::archiveBytes(
                buildHeaderText({project.includeSubfolders, project.path, project.mask}),
                {big, {project.path + "a.txt", New.ticks, std::string("ann ") + c}});
        }
        return crafted;
    }
};

struct LinkRow {
    std::string name;
    std::string link;      // made in the work directory, leading to `outside`
    std::string target;    // what the link names there ("" for the folder itself)
    std::string record;    // the archive's record, newer than anything on disk
    std::string diskFile;  // a file older than its record, "" for none
};

// A folder link on the record's way, for a new and for a replaced file, and a link
// planted at the temporary name beside the file to replace.
TEST_F(SafetyTest, NothingIsWrittenThroughALink) {
    const std::vector<LinkRow> rows = {
        {"new file behind a folder link", "sub", "", "sub/evil.txt", ""},
        {"newer record behind a folder link", "sub", "", "sub/f.txt", "sub/f.txt"},
        {"link at the temporary name", "t.txt.ferry-new", "target", "t.txt", "t.txt"},
    };
    for (const LinkRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir work;
        TempDir elsewhere;
        Machine machine;
        project.path = work.path();
        writeDiskFile(elsewhere / "target", "precious");
        writeDiskFile(elsewhere / "f.txt", "precious");
        std::filesystem::create_symlink(elsewhere / row.target, work / row.link);
        if (!row.diskFile.empty()) {
            if (!testkit::diskFileExists(work / row.diskFile))
                writeDiskFile(work / row.diskFile, "mine");
            setDiskFileTime(work / row.diskFile, Old);
        }
        const std::string before = diskTreeSnapshot(elsewhere.path());
        putArchive({{project.path + row.record, New.ticks, "from the medium"}});
        const std::string archiveBefore = readDiskFile(archive());

        const ProjectResult result =
            testkit::synchronizeOn(machine, medium.path(), project, work.path());

        EXPECT_NE(result.end, ProjectEnd::Synchronized);
        EXPECT_EQ(diskTreeSnapshot(elsewhere.path()), before);
        EXPECT_EQ(readDiskFile(archive()), archiveBefore);
        ASSERT_EQ(machine.prompt.messages.size(), 1U);
        EXPECT_EQ(machine.prompt.messages[0], linkInWayMessage(work / row.record, work / row.link));
    }
}

// Whether the medium was written since this machine's last run does not hang on clocks:
// an edit made within the same second as another machine's run is asked about, and a
// stale time of the last run (a window left open while the command line ran) asks
// nothing.
TEST_F(SafetyTest, TheMediumWrittenSinceIsKnownExactly) {
    Machine ann;
    project.path = ann.folder.path();
    const auto syncOn = [&](Machine& machine) {
        machine.prompt.clear();
        return testkit::synchronizeOn(machine, medium.path(), project, machine.folder.path()).end;
    };
    writeDiskFile(ann.folder / "a.txt", "ann 1");
    ASSERT_EQ(syncOn(ann), ProjectEnd::Synchronized);
    ASSERT_EQ(syncOn(bob), ProjectEnd::Synchronized);

    const DateTime annBefore = ann.lastSync;
    writeDiskFile(ann.folder / "a.txt", "ann 2");
    ASSERT_EQ(syncOn(ann), ProjectEnd::Synchronized);
    ann.lastSync = annBefore;  // what a window loaded before that run
    writeDiskFile(ann.folder / "a.txt", "ann 3");
    ASSERT_EQ(syncOn(ann), ProjectEnd::Synchronized);
    EXPECT_TRUE(ann.prompt.questions.empty());
    EXPECT_EQ(testkit::readArchiveFile(archive())->records[0].content, "ann 3");

    // Bob's run takes ann 3; bob edits and runs; ann edits in the same second.
    ASSERT_EQ(syncOn(bob), ProjectEnd::Synchronized);
    writeDiskFile(bob.folder / "a.txt", "bob 4");
    ASSERT_EQ(syncOn(bob), ProjectEnd::Synchronized);
    writeDiskFile(ann.folder / "a.txt", "ann 4");
    setDiskFileTime(ann.folder / "a.txt",
                    FileTime{testkit::diskFileTime(bob.folder / "a.txt").ticks + 10000000});
    ann.prompt.answers = {3};  // No: both versions stay where they are
    ASSERT_EQ(syncOn(ann), ProjectEnd::Synchronized);
    ASSERT_EQ(ann.prompt.questions.size(), 1u);
    EXPECT_TRUE(ann.prompt.questions[0].starts_with(conflictQuestion(ann.folder / "a.txt")));
    EXPECT_EQ(testkit::readArchiveFile(archive())->records[0].content, "bob 4");
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt"), "ann 4");
}

// A first run with a project the medium carries, in a folder that already holds other
// files (another project's, or a home folder): nothing is mixed, nothing written.
TEST_F(SafetyTest, AFirstRunDoesNotMixAForeignFolderIn) {
    writeDiskFile(bob.folder / "mine.txt", "bob's own");
    putArchive({{project.path + "a.txt", New.ticks, "from the medium"}});
    const std::string archiveBefore = readDiskFile(archive());
    const std::string diskBefore = diskTreeSnapshot(bob.folder.path());

    EXPECT_EQ(syncBob().end, ProjectEnd::Refused);
    EXPECT_EQ(bob.prompt.messages,
              std::vector<std::string>{foreignFilesMessage(project.path, bob.folder / "mine.txt")});
    EXPECT_EQ(diskTreeSnapshot(bob.folder.path()), diskBefore);
    EXPECT_EQ(readDiskFile(archive()), archiveBefore);
}

// An archive that looks as this machine left it is not read; one rewritten in place to
// the same size with its time set back, or damaged in a block the next archive would copy,
// is still read whole before anything changes.
TEST_F(SafetyTest, AnArchiveThatOnlyLooksUnchangedIsStillRead) {
    const std::string big = testkit::linesOfText(600000, 'b');
    // The big file's time shares no bytes with a.txt's, which the crafted archive changes.
    const ArchiveRecord bigRecord{project.path + "big.txt", utcFileTime(2020, 6, 6, 6).ticks, big};
    putArchive({bigRecord, {project.path + "a.txt", Old.ticks, "ann 1"}});
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    const FileTime archiveTime = testkit::diskFileTime(archive());
    const auto rewriteLater = [&](const std::string& bytes) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a later change time
        rewriteInPlace(bytes, archiveTime);
    };

    // A newer a.txt, its content chosen so that the archive keeps its size.
    rewriteLater(craftedArchive(bigRecord));
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_EQ(readDiskFile(bob.folder / "a.txt").substr(0, 4), "ann ");
    EXPECT_NE(readDiskFile(bob.folder / "a.txt"), "ann 1");

    // The first block's length made impossible; then a change only the last block holds.
    std::string damaged = readDiskFile(archive());
    const std::size_t payload = damaged.find('\0') + 9;
    damaged.replace(payload, 4, "\xff\xff\xff\x7f");
    rewriteLater(damaged);
    writeDiskFile(bob.folder / "a.txt", "bob 3");
    bob.prompt.clear();
    EXPECT_EQ(syncBob().end, ProjectEnd::Refused);
    EXPECT_EQ(bob.prompt.messages, std::vector<std::string>{unsafeArchiveMessage(archive())});
    EXPECT_EQ(readDiskFile(archive()), damaged);
}

// A medium whose files tell no change time of their own (a FAT stick gives its creation
// time): a rewrite in place with the write time set back keeps the archive's whole look.
class NoChangeTimes final : public testkit::PassThroughPlatform {
  public:
    PathInfo pathInfo(const std::string& path) override {
        PathInfo info = PassThroughPlatform::pathInfo(path);
        info.lastChange = {};
        return info;
    }
};

// When the look is all the same, the blocks a change uses are still checked before
// anything changes: a crafted last record is taken as another machine's and comes to the
// disk, a damaged leading block refuses the project once a change reaches it.
TEST_F(SafetyTest, BlocksThatOnlyLookRememberedAreCheckedBeforeUse) {
    NoChangeTimes fat;
    bob.platform = &fat;
    const std::string big = testkit::linesOfText(1500000, 'b');
    const ArchiveRecord bigRecord{project.path + "big.txt", utcFileTime(2020, 6, 6, 6).ticks, big};
    putArchive({bigRecord, {project.path + "a.txt", Old.ticks, "ann 1"}});
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    // Rewritten with its write time as it is: its whole look stays.
    const auto rewriteUnseen = [&](const std::string& bytes) {
        rewriteInPlace(bytes, testkit::diskFileTime(archive()));
    };
    rewriteUnseen(craftedArchive(bigRecord));
    writeDiskFile(bob.folder / "c.txt", "bob's new file");
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_NE(readDiskFile(bob.folder / "a.txt"), "ann 1");
    std::optional<testkit::ArchiveContent> carried = testkit::readArchiveFile(archive());
    ASSERT_TRUE(carried);
    ASSERT_EQ(carried->records.size(), 3u);
    EXPECT_EQ(carried->records[1].content, readDiskFile(bob.folder / "a.txt"));
    EXPECT_EQ(carried->records[2].content, "bob's new file");

    // The first block's length made impossible; a change in the last block uses none of
    // it and goes through; dropping big.txt then needs it.
    std::string damaged = readDiskFile(archive());
    const std::size_t payload = damaged.find('\0') + 9;
    damaged.replace(payload, 4, "\xff\xff\xff\x7f");
    rewriteUnseen(damaged);
    writeDiskFile(bob.folder / "c.txt", "bob's newer file");
    bob.prompt.clear();
    EXPECT_EQ(syncBob().end, ProjectEnd::Synchronized);
    std::filesystem::remove(bob.folder / "big.txt");
    const std::string before = readDiskFile(archive());
    EXPECT_EQ(before.substr(payload, 4), damaged.substr(payload, 4));  // still damaged
    EXPECT_EQ(syncBob().end, ProjectEnd::Refused);
    EXPECT_EQ(bob.prompt.messages, std::vector<std::string>{unsafeArchiveMessage(archive())});
    EXPECT_EQ(readDiskFile(archive()), before);
}

// Tells the calls that put a file on the device and give it its name, in their order.
class FlushRecorder final : public testkit::PassThroughPlatform {
  public:
    std::vector<std::string> calls;  // "flush PATH", "name PATH", "folder PATH"

    SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                      FileCreation creation) override {
        SystemResult<FileHandle> opened = PassThroughPlatform::openFile(path, access, creation);
        if (opened) paths_[opened.value] = path;
        return opened;
    }
    SystemResult<> flushFile(FileHandle handle) override {
        calls.push_back("flush " + paths_[handle]);
        return PassThroughPlatform::flushFile(handle);
    }
    SystemResult<> renameNoReplace(const std::string& from, const std::string& to) override {
        calls.push_back("name " + to);
        return PassThroughPlatform::renameNoReplace(from, to);
    }
    SystemResult<> flushFolder(const std::string& path) override {
        calls.push_back("folder " + withoutTrailingSeparator(path));
        return PassThroughPlatform::flushFolder(path);
    }
    std::ptrdiff_t at(const std::string& call) const {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    }

  private:
    std::map<FileHandle, std::string> paths_;
};

// A first carry of many files: no file takes its name before its bytes were flushed, and
// its folder is flushed after it took its name, in batches rather than file by file. A
// flush that fails stops the project with that file named, and no file of its batch, nor
// any temporary file, is left at a name.
TEST_F(SafetyTest, AFileFromTheMediumTakesItsNameOnlyOnceFlushed) {
    Machine ann;
    project.path = ann.folder.path();
    std::vector<std::string> files;
    for (std::size_t i = 0; i < DiskBatchFiles + 40; ++i) {
        files.push_back((i % 2 ? "a/" : "b/") + std::to_string(1000 + i) + ".txt");
        writeDiskFile(ann.folder / files.back(), "file " + files.back());
    }
    ASSERT_EQ(testkit::synchronizeOn(ann, medium.path(), project, ann.folder.path()).end,
              ProjectEnd::Synchronized);

    FlushRecorder recorder;
    bob.platform = &recorder;
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    std::size_t folderFlushes = 0;
    for (const std::string& file : files) {
        const std::string path = bob.folder / file;
        EXPECT_EQ(readDiskFile(path), "file " + file);
        const std::ptrdiff_t named = recorder.at("name " + path);
        EXPECT_LT(recorder.at("flush " + path + ".ferry-new"), named) << file;
        EXPECT_NE(std::find(recorder.calls.begin() + named, recorder.calls.end(),
                            "folder " + withoutTrailingSeparator(folderOf(path))),
                  recorder.calls.end())
            << file;
    }
    for (const std::string& call : recorder.calls) folderFlushes += call.starts_with("folder ");
    EXPECT_EQ(folderFlushes, 2U) << "once for each folder";

    // A record of the second batch fails: the first batch was placed.
    const std::string failing =
        testkit::readArchiveFile(archive())->records[DiskBatchFiles + 20].name.substr(
            project.path.size());
    testkit::FaultPlatform faults;
    faults.failCall(testkit::Call::FlushFile, failing + ".ferry-new", testkit::NoRoom);
    Machine carl;
    carl.platform = &faults;
    EXPECT_EQ(testkit::synchronizeOn(carl, medium.path(), project, carl.folder.path()).end,
              ProjectEnd::Stopped);
    EXPECT_EQ(carl.prompt.messages, std::vector<std::string>{cannotWriteFileMessage(
                                        carl.folder / failing, systemErrorText(testkit::NoRoom))});
    std::size_t placed = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(carl.folder.path())) {
        EXPECT_FALSE(entry.path().string().ends_with(".ferry-new")) << entry.path();
        placed += entry.is_regular_file();
    }
    EXPECT_FALSE(testkit::diskFileExists(carl.folder / failing));
    EXPECT_EQ(placed, DiskBatchFiles) << "the batch before the failing one's";
}

}  // namespace
}  // namespace ferry
