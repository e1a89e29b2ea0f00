// A hostile or unlucky medium against one machine's disk: nothing outside the work
// directory changes, whatever the archive names and whatever links the directory holds.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "archive/media_archive.h"
#include "sync/sync_messages.h"
#include "tests/sync/sync_testkit.h"
#include "tests/testkit/disk_files.h"

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
    const auto rewriteInPlace = [&](std::string bytes) {
        ASSERT_EQ(bytes.size(), readDiskFile(archive()).size());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a later change time
        std::fstream(archive(), std::ios::in | std::ios::out | std::ios::binary) << bytes;
        setDiskFileTime(archive(), archiveTime);
    };

    // A newer a.txt, its content chosen so that the archive keeps its size.
    std::string crafted;
    for (char c = 'A'; c <= 'z' && crafted.size() != readDiskFile(archive()).size(); ++c) {
        crafted = testkit::archiveBytes(
            buildHeaderText({project.includeSubfolders, project.path, project.mask}),
            {bigRecord, {project.path + "a.txt", New.ticks, std::string("ann ") + c}});
    }
    rewriteInPlace(crafted);
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_EQ(readDiskFile(bob.folder / "a.txt").substr(0, 4), "ann ");
    EXPECT_NE(readDiskFile(bob.folder / "a.txt"), "ann 1");

    // The first block's length made impossible; then a change only the last block holds.
    std::string damaged = readDiskFile(archive());
    const std::size_t payload = damaged.find('\0') + 9;
    damaged.replace(payload, 4, "\xff\xff\xff\x7f");
    rewriteInPlace(damaged);
    writeDiskFile(bob.folder / "a.txt", "bob 3");
    bob.prompt.clear();
    EXPECT_EQ(syncBob().end, ProjectEnd::Refused);
    EXPECT_EQ(bob.prompt.messages, std::vector<std::string>{unsafeArchiveMessage(archive())});
    EXPECT_EQ(readDiskFile(archive()), damaged);
}

}  // namespace
}  // namespace ferry
