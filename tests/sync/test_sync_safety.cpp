// A hostile or unlucky medium against one machine's disk: nothing outside the work
// directory changes, whatever the archive names and whatever links the directory holds.

#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace ferry
