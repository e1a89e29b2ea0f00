// A machine remembers the archives it checked or wrote, so that the next run need not
// decode them again. What it remembers must never vouch for other bytes, and runs that
// rely on it must leave archives any reader decodes to the project's files.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "archive/media_archive.h"
#include "sync/sync_messages.h"
#include "tests/sync/sync_testkit.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/plain_ucl.h"
#include "tests/testkit/stream_bytes.h"

namespace ferry {
namespace {

using testkit::linesOfText;
using testkit::Machine;
using testkit::ProjectSpec;
using testkit::readDiskFile;
using testkit::setDiskFileTime;
using testkit::TempDir;
using testkit::utcFileTime;
using testkit::writeDiskFile;
namespace fs = std::filesystem;

const FileTime M = utcFileTime(2024, 1, 1, 10);

void putFile(const TempDir& folder, const std::string& name, const std::string& content,
             int minutesAfterM) {
    writeDiskFile(folder / name, content);
    setDiskFileTime(folder / name, FileTime{M.ticks + std::uint64_t(minutesAfterM) * 600000000});
}

class CheckedPayloadTest : public ::testing::Test {
  protected:
    TempDir medium;
    Machine ann;
    ProjectSpec project{ann.folder.path(), "*.txt", false};

    void SetUp() override {
        putFile(ann.folder, "a.txt", testkit::randomBytes(600000, 3), 0);
        putFile(ann.folder, "b.txt", linesOfText(700000, 'b'), 0);
        putFile(ann.folder, "c.txt", linesOfText(20000, 'c'), 0);
        ASSERT_EQ(sync(ann, ann.folder).end, ProjectEnd::Synchronized);
    }

    std::string archive() const { return testkit::archivePathOf(medium.path(), project); }
    std::string memoryFolder(const Machine& machine) const {
        return machine.settings / "ferryman/checked";
    }
    ProjectResult sync(Machine& machine, const TempDir& localDir) {
        machine.prompt.clear();
        return testkit::synchronizeOn(machine, medium.path(), project, localDir.path());
    }

    // The archive, read by a reader of its own, holds exactly the files of `folder`.
    void expectArchiveHolds(const TempDir& folder) {
        const auto content = testkit::readArchiveFile(archive());
        ASSERT_TRUE(content) << "a whole archive";
        std::map<std::string, std::string> records;
        for (const testkit::ArchiveRecord& record : content->records)
            records[record.name.substr(project.path.size())] = record.content;
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(folder.path())) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(".txt")) files[name] = readDiskFile(entry.path().string());
        }
        EXPECT_TRUE(records == files);
        EXPECT_EQ(records.size(), files.size());
    }
};

// Whatever replaces the archive on the medium is checked whole: the memory of the archive
// this machine wrote there says nothing about it.
TEST_F(CheckedPayloadTest, AnArchiveChangedOnTheMediumIsCheckedWholeAgain) {
    const std::string written = readDiskFile(archive());
    const std::string header = " " + project.path + ",*.txt";
    const std::string outside = project.path + "../outside.txt";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"a name that leads out of the project",
         testkit::archiveBytes(
             header, {{project.path + "a.txt", M.ticks, "a"}, {outside, M.ticks, "planted"}})},
        {"cut inside its last block", written.substr(0, written.size() - 10)},
        {"cut after its first block", written.substr(0, written.size() / 3)},
    };
    for (const auto& [name, bytes] : rows) {
        SCOPED_TRACE(name);
        writeDiskFile(archive(), bytes);
        EXPECT_EQ(sync(ann, ann.folder).end, ProjectEnd::Refused);
        EXPECT_EQ(ann.prompt.messages, std::vector<std::string>{unsafeArchiveMessage(archive())});
        EXPECT_TRUE(readDiskFile(archive()) == bytes) << "left as it is";
        EXPECT_FALSE(fs::exists(ann.folder / "../outside.txt"));
    }
}

// The payload after the header text, its zero byte and the stamp.
std::string payloadOf(const std::string& archiveBytes) {
    return archiveBytes.substr(archiveBytes.find('\0') + 9);
}

// An archive another machine rewrote from a later block on shares the leading blocks this
// machine remembers: only what follows them is decoded, and it is checked as a whole
// archive would be.
TEST_F(CheckedPayloadTest, AnArchiveRewrittenFromALaterBlockIsCheckedFromThere) {
    project = {ann.folder.path(), "*.bin", false};
    const std::string firstName = project.path + "first.bin";
    const std::string firstBytes =
        testkit::randomBytes(ArchiveBlockSize - recordHeadSize({firstName, M, 0}), 5);
    putFile(ann.folder, "first.bin", firstBytes, 0);
    ASSERT_EQ(sync(ann, ann.folder).end, ProjectEnd::Synchronized);
    const std::string remembered = payloadOf(readDiskFile(archive()));

    const testkit::ArchiveRecord first{firstName, M.ticks, firstBytes};
    const std::string header = " " + project.path + ",*.bin";
    const auto withSecond = [&](const std::string& name, const std::string& content) {
        return testkit::archiveBytes(header, {first, {project.path + name, M.ticks, content}});
    };
    const std::string planted = withSecond("../outside.bin", "planted");
    const std::string added = withSecond("second.bin", "2");
    const auto blocks = testkit::plainBlocks(remembered);
    const auto plantedBlocks = testkit::plainBlocks(payloadOf(planted));
    ASSERT_TRUE(blocks && plantedBlocks);
    ASSERT_TRUE(blocks->front() == plantedBlocks->front()) << "the first block as remembered";

    writeDiskFile(archive(), planted);
    EXPECT_EQ(sync(ann, ann.folder).end, ProjectEnd::Refused);
    EXPECT_EQ(ann.prompt.messages, std::vector<std::string>{unsafeArchiveMessage(archive())});
    EXPECT_FALSE(fs::exists(ann.folder / "../outside.bin"));

    writeDiskFile(archive(), added);
    EXPECT_EQ(sync(ann, ann.folder).end, ProjectEnd::Synchronized);
    EXPECT_EQ(readDiskFile(ann.folder / "second.bin"), "2");
    EXPECT_TRUE(readDiskFile(ann.folder / "first.bin") == firstBytes);
}

// A user's path: files added and changed here and on a second machine, the memory damaged
// on the way. After every run the archive holds the files, as a reader of its own sees it.
TEST_F(CheckedPayloadTest, RunsThatRelyOnTheMemoryLeaveWholeArchives) {
    EXPECT_EQ(fs::status(memoryFolder(ann)).permissions(), fs::perms::owner_all)
        << "only this user may enter it";
    Machine bob;
    TempDir bobsFolder;
    ASSERT_EQ(sync(bob, bobsFolder).end, ProjectEnd::Synchronized);

    const auto stepOnAnn = [&](const char* what, const std::function<void()>& change) {
        SCOPED_TRACE(what);
        change();
        ASSERT_EQ(sync(ann, ann.folder).end, ProjectEnd::Synchronized);
        EXPECT_TRUE(ann.prompt.messages.empty());
        expectArchiveHolds(ann.folder);
    };
    stepOnAnn("a new file", [&] { putFile(ann.folder, "d.txt", linesOfText(30000, 'd'), 10); });
    stepOnAnn("the last file changed",
              [&] { putFile(ann.folder, "d.txt", linesOfText(40000, 'D'), 20); });
    stepOnAnn("nothing changed", [] {});
    stepOnAnn("the first file changed",
              [&] { putFile(ann.folder, "a.txt", testkit::randomBytes(600001, 4), 30); });
    stepOnAnn("another machine added a file", [&] {
        putFile(bobsFolder, "e.txt", linesOfText(5000, 'e'), 40);
        ASSERT_EQ(sync(bob, bobsFolder).end, ProjectEnd::Synchronized);
        expectArchiveHolds(bobsFolder);
    });
    EXPECT_TRUE(readDiskFile(ann.folder / "e.txt") == linesOfText(5000, 'e'));
    stepOnAnn("what it remembers damaged, a file dropped", [&] {
        for (const auto& entry : fs::directory_iterator(memoryFolder(ann))) {
            std::string bytes = readDiskFile(entry.path().string());
            bytes[bytes.size() / 2] ^= 1;
            writeDiskFile(entry.path().string(), bytes);
        }
        fs::remove(ann.folder / "c.txt");
    });
    stepOnAnn("then a new file again",
              [&] { putFile(ann.folder, "f.txt", linesOfText(9000, 'f'), 50); });
}

}  // namespace
}  // namespace ferry
