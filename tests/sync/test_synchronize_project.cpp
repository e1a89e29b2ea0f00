#include "sync/synchronize_project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "archive/media_archive.h"
#include "platform/withholding_platform.h"
#include "sync/sync_messages.h"
#include "tests/sync/sync_testkit.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/pass_through_platform.h"
#include "tests/testkit/stream_bytes.h"

namespace ferry {
namespace {

using testkit::ArchiveRecord;
using testkit::diskFileTime;
using testkit::localDateTime;
using testkit::Machine;
using testkit::ProjectSpec;
using testkit::readDiskFile;
using testkit::setDiskFileTime;
using testkit::TempDir;
using testkit::utcFileTime;
using testkit::writeDiskFile;

constexpr std::uint64_t TicksPerDay = 864000000000;
const FileTime M = utcFileTime(2024, 1, 1, 10, 0, 0, 250);
const FileTime Newer{M.ticks + TicksPerDay};
const FileTime Older{M.ticks - TicksPerDay};
const FileTime ArchiveTime = utcFileTime(2024, 1, 10, 12);

bool exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::symlink_status(path, ignored).type() !=
           std::filesystem::file_type::not_found;
}

// The archive's own last-write time as this machine's date-time.
DateTime archiveDateTime(const std::string& path) {
    return localDateTime(diskFileTime(path));
}

void expectCounts(const SyncCounters& actual, const SyncCounters& expected) {
    EXPECT_EQ(actual.replacedOnMedia, expected.replacedOnMedia);
    EXPECT_EQ(actual.replacedInProjects, expected.replacedInProjects);
    EXPECT_EQ(actual.addedToProjects, expected.addedToProjects);
    EXPECT_EQ(actual.addedNewFiles, expected.addedNewFiles);
    EXPECT_EQ(actual.removedFromMedia, expected.removedFromMedia);
}

// Two machines sharing one medium folder: ann keeps the project at its own path, bob
// in a work directory of his own.
class SyncTest : public ::testing::Test {
  protected:
    TempDir medium;
    Machine ann;
    Machine bob;
    ProjectSpec project{ann.folder.path(), "*.txt", false};

    std::string archive() const { return testkit::archivePathOf(medium.path(), project); }
    ProjectResult syncAnn(const SyncOptions& options = {}) {
        return testkit::synchronizeOn(ann, medium.path(), project, ann.folder.path(), options);
    }
    ProjectResult syncBob(const SyncOptions& options = {}) {
        return testkit::synchronizeOn(bob, medium.path(), project, bob.folder.path(), options);
    }
    void putArchive(const std::vector<ArchiveRecord>& records) {
        writeDiskFile(
            archive(),
            testkit::archiveBytes(
                buildHeaderText({project.includeSubfolders, project.path, project.mask}), records));
        setDiskFileTime(archive(), ArchiveTime);
    }
    std::vector<ArchiveRecord> records() const {
        const auto content = testkit::readArchiveFile(archive());
        EXPECT_TRUE(content) << "the archive must be whole";
        return content ? content->records : std::vector<ArchiveRecord>{};
    }
};

struct File {
    std::string relative;
    std::string content;
    FileTime time;
};

struct OutcomeRow {
    std::string name;
    std::string mask = "*.txt";
    std::vector<File> records;
    std::vector<File> disk;
    // How long before the archive's time this machine last synchronized.
    int lastSyncSecondsBefore = 0;
    std::vector<std::int32_t> answers;
    std::vector<File> recordsAfter;
    std::vector<File> diskAfter;
    std::vector<std::string> absentAfter;
    SyncCounters counts;
    std::vector<FileDecision> decisions;
    std::size_t questions = 0;
    bool archiveUntouched = false;
};

OutcomeRow rowNamed(std::string name) {
    OutcomeRow row;
    row.name = std::move(name);
    return row;
}

const File RecordA{"a.txt", "medium", M};
const File OlderDiskA{"a.txt", "disk", Older};
const File NewerDiskA{"a.txt", "disk", Newer};
const File ReplacedA{"a.txt", "medium", M};
const File BackupA{"a.txt.old", "disk", Newer};

OutcomeRow conflictRow(std::string name, std::int32_t answer, bool yes) {
    OutcomeRow row = rowNamed(std::move(name));
    row.records = {RecordA};
    row.disk = {NewerDiskA};
    row.lastSyncSecondsBefore = 60;
    row.answers = {answer};
    row.recordsAfter = {RecordA};
    row.decisions = {FileDecision::Question};
    row.questions = 1;
    if (yes) {
        row.diskAfter = {ReplacedA, BackupA};
        row.counts.replacedInProjects = 1;
    } else {
        row.diskAfter = {NewerDiskA};
        row.absentAfter = {"a.txt.old"};
        row.archiveUntouched = true;
    }
    return row;
}

std::vector<OutcomeRow> outcomeRows() {
    std::vector<OutcomeRow> rows;
    {
        OutcomeRow row = rowNamed("disk newer, medium not written since: the medium gets it");
        row.records = {RecordA};
        row.disk = {NewerDiskA};
        row.recordsAfter = {NewerDiskA};
        row.diskAfter = {NewerDiskA};
        row.absentAfter = {"a.txt.old"};
        row.counts.replacedOnMedia = 1;
        row.decisions = {FileDecision::ReplaceOnMedium};
        rows.push_back(row);
    }
    {
        OutcomeRow row =
            rowNamed("disk newer, archive written within 2 seconds of lastSync: no question");
        row.records = {RecordA};
        row.disk = {NewerDiskA};
        row.lastSyncSecondsBefore = 2;
        row.recordsAfter = {NewerDiskA};
        row.diskAfter = {NewerDiskA};
        row.counts.replacedOnMedia = 1;
        row.decisions = {FileDecision::ReplaceOnMedium};
        rows.push_back(row);
    }
    rows.push_back(conflictRow("conflict answered Yes", 1, true));
    rows.push_back(conflictRow("conflict answered Yes to all", 2, true));
    rows.push_back(conflictRow("conflict answered No", 3, false));
    rows.push_back(conflictRow("conflict answered No to all", 4, false));
    rows.push_back(conflictRow("conflict closed with Esc counts as No", -1, false));
    rows.push_back(conflictRow("conflict ended by a quit request counts as No", 0, false));
    {
        OutcomeRow row = rowNamed("medium newer: the disk gets it, keeping .old");
        row.records = {RecordA};
        row.disk = {OlderDiskA, {"a.txt.old", "older backup", Older}};
        row.recordsAfter = {RecordA};
        row.diskAfter = {ReplacedA, {"a.txt.old", "disk", Older}};
        row.counts.replacedInProjects = 1;
        row.decisions = {FileDecision::ReplaceOnDisk};
        rows.push_back(row);
    }
    {
        OutcomeRow row = rowNamed("times equal to the millisecond: kept");
        row.records = {RecordA};
        row.disk = {{"a.txt", "disk", FileTime{M.ticks + 9999}}};
        row.recordsAfter = {RecordA};
        row.diskAfter = row.disk;
        row.decisions = {FileDecision::Keep};
        row.archiveUntouched = true;
        rows.push_back(row);
    }
    {
        OutcomeRow row = rowNamed("a coarse file system kept the record's time to 2 seconds: kept");
        row.records = {RecordA};
        row.disk = {{"a.txt", "disk", utcFileTime(2024, 1, 1, 10, 0, 0)}};
        row.recordsAfter = {RecordA};
        row.diskAfter = row.disk;
        row.decisions = {FileDecision::Keep};
        row.archiveUntouched = true;
        rows.push_back(row);
    }
    {
        OutcomeRow row = rowNamed("record in a subfolder of a project without subfolders: dropped");
        row.records = {{"sub/b.txt", "medium", M}, RecordA};
        row.disk = {{"sub/b.txt", "left alone", Older}, RecordA};
        row.recordsAfter = {RecordA};
        row.diskAfter = row.disk;
        row.counts.removedFromMedia = 1;
        row.decisions = {FileDecision::DropFromMedium, FileDecision::Keep};
        rows.push_back(row);
    }
    {
        OutcomeRow row = rowNamed("record no longer matching the mask list: dropped");
        row.records = {{"c.doc", "medium", M}};
        row.disk = {{"c.doc", "left alone", Older}};
        row.diskAfter = row.disk;
        row.counts.removedFromMedia = 1;
        row.decisions = {FileDecision::DropFromMedium};
        rows.push_back(row);
    }
    {
        OutcomeRow row =
            rowNamed("record excluded by a ^ piece: dropped, the excluded file left alone");
        row.mask = "^*.bak";
        row.records = {{"x.bak", "medium", M}, RecordA};
        row.disk = {{"x.bak", "excluded here", Older}, RecordA};
        row.recordsAfter = {RecordA};
        row.diskAfter = row.disk;
        row.counts.removedFromMedia = 1;
        row.decisions = {FileDecision::DropFromMedium, FileDecision::Keep};
        rows.push_back(row);
    }
    {
        OutcomeRow row = rowNamed("record without disk file under an empty mask list: created");
        row.mask = "";
        row.records = {{"README", "medium", M}};
        row.recordsAfter = row.records;
        row.diskAfter = row.records;
        row.counts.addedToProjects = 1;
        row.decisions = {FileDecision::CreateOnDisk};
        row.archiveUntouched = true;
        rows.push_back(row);
    }
    {
        OutcomeRow row = rowNamed("record without disk file, inside the project: created");
        row.records = {RecordA};
        row.recordsAfter = {RecordA};
        row.diskAfter = {RecordA};
        row.counts.addedToProjects = 1;
        row.decisions = {FileDecision::CreateOnDisk};
        row.archiveUntouched = true;
        rows.push_back(row);
    }
    {
        OutcomeRow row = rowNamed("disk file without record: added after the records");
        row.records = {RecordA};
        row.disk = {RecordA, {"new.txt", "new", Older}};
        row.recordsAfter = {RecordA, {"new.txt", "new", Older}};
        row.diskAfter = row.disk;
        row.counts.addedNewFiles = 1;
        row.decisions = {FileDecision::Keep, FileDecision::AddToMedium};
        rows.push_back(row);
    }
    {
        OutcomeRow row = rowNamed("record and disk file differing in letter case are two files");
        row.records = {{"A.TXT", "medium", M}};
        row.disk = {OlderDiskA};
        row.recordsAfter = {{"A.TXT", "medium", M}, OlderDiskA};
        row.diskAfter = {{"A.TXT", "medium", M}, OlderDiskA};
        row.absentAfter = {"a.txt.old"};
        row.counts.addedToProjects = 1;
        row.counts.addedNewFiles = 1;
        row.decisions = {FileDecision::CreateOnDisk, FileDecision::AddToMedium};
        rows.push_back(row);
    }
    return rows;
}

TEST_F(SyncTest, EveryOutcomeOfARecordAndItsFile) {
    for (const OutcomeRow& row : outcomeRows()) {
        SCOPED_TRACE(row.name);
        Machine machine;
        const TempDir rowMedium;
        const ProjectSpec rowProject{machine.folder.path(), row.mask, false};
        const std::string archivePath = testkit::archivePathOf(rowMedium.path(), rowProject);
        std::vector<ArchiveRecord> records;
        for (const File& file : row.records)
            records.push_back({rowProject.path + file.relative, file.time.ticks, file.content});
        writeDiskFile(
            archivePath,
            testkit::archiveBytes(buildHeaderText({false, rowProject.path, row.mask}), records));
        setDiskFileTime(archivePath, ArchiveTime);
        const std::string archiveBefore = readDiskFile(archivePath);
        for (const File& file : row.disk) {
            writeDiskFile(machine.folder / file.relative, file.content);
            setDiskFileTime(machine.folder / file.relative, file.time);
        }
        machine.lastSync = localDateTime(
            FileTime{ArchiveTime.ticks - std::uint64_t(row.lastSyncSecondsBefore) * 10000000});
        machine.prompt.answers = row.answers;

        const ProjectResult result =
            testkit::synchronizeOn(machine, rowMedium.path(), rowProject, machine.folder.path());

        EXPECT_EQ(result.end, ProjectEnd::Synchronized);
        EXPECT_EQ(result.archivePath, archivePath);
        EXPECT_TRUE(machine.prompt.messages.empty());
        EXPECT_EQ(machine.prompt.questions.size(), row.questions);
        for (const std::string& question : machine.prompt.questions)
            EXPECT_TRUE(question.starts_with(conflictQuestion(machine.folder / "a.txt")));
        expectCounts(machine.counters, row.counts);
        std::vector<FileDecision> decisions;
        for (const FileDecisionNote& note : machine.prompt.decisions)
            decisions.push_back(note.decision);
        EXPECT_EQ(decisions, row.decisions);

        const auto after = testkit::readArchiveFile(archivePath);
        ASSERT_TRUE(after);
        EXPECT_EQ(after->headerText, buildHeaderText({false, rowProject.path, row.mask}));
        std::vector<ArchiveRecord> expected;
        for (const File& file : row.recordsAfter)
            expected.push_back({rowProject.path + file.relative, file.time.ticks, file.content});
        EXPECT_EQ(after->records, expected);
        if (row.archiveUntouched) {
            EXPECT_EQ(readDiskFile(archivePath), archiveBefore);
        }
        EXPECT_NEAR(machine.lastSync, archiveDateTime(archivePath), 2e-8)
            << "lastSync and the archive's time say the same instant";

        for (const File& file : row.diskAfter) {
            EXPECT_EQ(readDiskFile(machine.folder / file.relative), file.content) << file.relative;
            EXPECT_EQ(diskFileTime(machine.folder / file.relative), file.time) << file.relative;
        }
        for (const std::string& relative : row.absentAfter)
            EXPECT_FALSE(exists(machine.folder / relative)) << relative;
        EXPECT_FALSE(exists(archivePath + ".new")) << "no temporary archive stays";
    }
}

// A user's path over two machines: first carry, a copy on the second machine, edits going
// both ways, .old copies, a run with nothing changed, and the question.
TEST_F(SyncTest, TwoMachinesCarryAProjectBackAndForth) {
    project.includeSubfolders = true;
    ASSERT_EQ(syncAnn().end, ProjectEnd::Synchronized) << "nothing anywhere yet";
    EXPECT_FALSE(exists(archive())) << "a project without files gets no archive";

    writeDiskFile(ann.folder / "a.txt", "ann 1");
    writeDiskFile(ann.folder / "sub/b.txt", "ann b");
    writeDiskFile(ann.folder / "skip.doc", "not in the mask");
    setDiskFileTime(ann.folder / "a.txt", M);
    setDiskFileTime(ann.folder / "sub/b.txt", M);
    ASSERT_EQ(syncAnn().end, ProjectEnd::Synchronized);
    EXPECT_EQ(ann.counters.addedNewFiles, 2u);
    ASSERT_EQ(records().size(), 2u);
    EXPECT_EQ(testkit::readArchiveFile(archive())->headerText, "+" + project.path + ",*.txt");
    EXPECT_NEAR(ann.lastSync, archiveDateTime(archive()), 2e-8);

    // Bob has never seen the project: his work directory gets every file, with its time.
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_EQ(bob.counters.addedToProjects, 2u);
    EXPECT_EQ(readDiskFile(bob.folder / "sub/b.txt"), "ann b");
    EXPECT_EQ(diskFileTime(bob.folder / "a.txt"), diskFileTime(ann.folder / "a.txt"));
    for (const ArchiveRecord& record : records())
        EXPECT_TRUE(record.name.starts_with(project.path)) << "names keep the project path";

    // A second run with nothing changed leaves the archive's bytes alone.
    const std::string unchanged = readDiskFile(archive());
    bob.counters = {};
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    expectCounts(bob.counters, {});
    EXPECT_EQ(readDiskFile(archive()), unchanged);
    EXPECT_NEAR(bob.lastSync, archiveDateTime(archive()), 2e-8);

    // Bob edits; the medium takes it; ann gets it and keeps her version as .old.
    writeDiskFile(bob.folder / "a.txt", "bob 2");
    setDiskFileTime(bob.folder / "a.txt", Newer);
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_EQ(bob.counters.replacedOnMedia, 1u);
    ASSERT_EQ(syncAnn().end, ProjectEnd::Synchronized);
    EXPECT_EQ(ann.counters.replacedInProjects, 1u);
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt"), "bob 2");
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt.old"), "ann 1");

    // Both edit; bob synchronizes first, so ann is asked, and her answer Yes replaces her
    // edit, whose .old replaces the older .old.
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_TRUE(bob.prompt.questions.empty()) << "ann's run took bob's edit";
    writeDiskFile(bob.folder / "a.txt", "bob 3");
    setDiskFileTime(bob.folder / "a.txt", FileTime{Newer.ticks + TicksPerDay});
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    const std::string ann3 = "ann 3" + std::string(1234567, '.');
    writeDiskFile(ann.folder / "a.txt", ann3);
    setDiskFileTime(ann.folder / "a.txt", FileTime{Newer.ticks + 2 * TicksPerDay});
    // Ann's clock says nothing: bob's run may lie within 2 seconds of hers.
    ann.prompt.answers = {1};
    ASSERT_EQ(syncAnn().end, ProjectEnd::Synchronized);
    ASSERT_EQ(ann.prompt.questions.size(), 1u);
    EXPECT_EQ(ann.prompt.questions[0],
              conflictQuestion(ann.folder / "a.txt") + "\r\nOn disk: " +
                  dateTimeToText(localDateTime(FileTime{Newer.ticks + 2 * TicksPerDay})) +
                  ", 1,234,572 bytes\r\nOn the medium: " +
                  dateTimeToText(localDateTime(FileTime{Newer.ticks + TicksPerDay})) + ", 5 bytes");
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt"), "bob 3");
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt.old"), ann3);
    EXPECT_FALSE(exists(ann.folder / "skip.doc.old"));
}

struct AnswerRow {
    std::string name;
    std::vector<std::int32_t> answers;
    std::size_t questions;
    std::size_t replaced;
    ProjectEnd end = ProjectEnd::Synchronized;
};

// Three files newer on disk after another machine wrote the archive: every answer, and
// the next run asking again.
TEST_F(SyncTest, TheFiveAnswers) {
    const std::vector<AnswerRow> rows = {
        {"Yes each time", {1, 1, 1}, 3, 3},
        {"Yes to all answers the rest", {2}, 1, 3},
        {"No each time", {3, 3, 3}, 3, 0},
        {"No to all answers the rest", {4}, 1, 0},
        {"No, then Yes to all", {3, 2}, 2, 2},
        {"Esc each time is No", {-1, -1, -1}, 3, 0},
        {"Cancel stops the project", {1, 5}, 2, 1, ProjectEnd::Stopped},
    };
    const std::vector<std::string> names = {"a.txt", "b.txt", "c.txt"};
    for (const AnswerRow& row : rows) {
        SCOPED_TRACE(row.name);
        Machine machine;
        const TempDir rowMedium;
        const ProjectSpec rowProject{machine.folder.path(), "*.txt", false};
        const std::string archivePath = testkit::archivePathOf(rowMedium.path(), rowProject);
        std::vector<ArchiveRecord> records;
        for (const std::string& name : names) {
            records.push_back({rowProject.path + name, M.ticks, "medium " + name});
            writeDiskFile(machine.folder / name, "disk " + name);
            setDiskFileTime(machine.folder / name, Newer);
        }
        writeDiskFile(
            archivePath,
            testkit::archiveBytes(buildHeaderText({false, rowProject.path, "*.txt"}), records));
        setDiskFileTime(archivePath, ArchiveTime);
        const DateTime lastSyncBefore = localDateTime(FileTime{ArchiveTime.ticks - 600000000});
        machine.lastSync = lastSyncBefore;
        machine.prompt.answers = row.answers;

        const ProjectResult result =
            testkit::synchronizeOn(machine, rowMedium.path(), rowProject, machine.folder.path());
        EXPECT_EQ(result.end, row.end);
        EXPECT_EQ(machine.prompt.questions.size(), row.questions);
        EXPECT_EQ(machine.counters.replacedInProjects, row.replaced);
        EXPECT_TRUE(machine.prompt.messages.empty());
        std::size_t replacedOnDisk = 0;
        for (const std::string& name : names)
            replacedOnDisk += readDiskFile(machine.folder / name) == "medium " + name;
        EXPECT_EQ(replacedOnDisk, row.replaced);
        EXPECT_EQ(testkit::readArchiveFile(archivePath)->records, records)
            << "the medium keeps its versions";
        if (row.end == ProjectEnd::Stopped) {
            EXPECT_EQ(machine.lastSync, lastSyncBefore);
            EXPECT_EQ(diskFileTime(archivePath), ArchiveTime) << "nothing written to the medium";
            continue;
        }
        // The remembered answer lives for one run only: the next run asks again, once
        // another machine has written the medium again.
        machine.lastSync = lastSyncBefore;
        writeDiskFile(archivePath,
                      testkit::archiveBytes(buildHeaderText({false, rowProject.path, "*.txt"}),
                                            records, 739001.5));
        setDiskFileTime(archivePath, ArchiveTime);
        for (const std::string& name : names) setDiskFileTime(machine.folder / name, Newer);
        machine.prompt.clear();
        testkit::synchronizeOn(machine, rowMedium.path(), rowProject, machine.folder.path());
        EXPECT_EQ(machine.prompt.questions.size(), 3u);
    }
}

// A preview answers the question with the caller's policy instead of asking, and tells
// the decision with that answer.
TEST_F(SyncTest, PreviewAnswersTheQuestionItself) {
    putArchive({{project.path + "a.txt", M.ticks, "medium"}});
    writeDiskFile(ann.folder / "a.txt", "disk");
    setDiskFileTime(ann.folder / "a.txt", Newer);
    ann.lastSync = localDateTime(FileTime{ArchiveTime.ticks - 600000000});
    ASSERT_EQ(syncAnn({true, ConflictAnswer::YesToAll}).end, ProjectEnd::Synchronized);
    EXPECT_TRUE(ann.prompt.questions.empty());
    ASSERT_EQ(ann.prompt.decisions.size(), 1u);
    EXPECT_EQ(ann.prompt.decisions[0].decision, FileDecision::Question);
    EXPECT_EQ(ann.prompt.decisions[0].answer, ConflictAnswer::YesToAll);
    EXPECT_EQ(ann.prompt.decisions[0].localPath, ann.folder / "a.txt");
    EXPECT_EQ(ann.prompt.decisions[0].recordName, project.path + "a.txt");
}

// Every file under a folder with its bytes and time, to see that nothing changed.
std::map<std::string, std::pair<std::string, std::uint64_t>> treeOf(const std::string& folder) {
    std::map<std::string, std::pair<std::string, std::uint64_t>> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string path = entry.path().string();
        tree[path] = {entry.is_regular_file() ? readDiskFile(path) : std::string("folder"),
                      entry.is_regular_file() ? diskFileTime(path).ticks : 0};
    }
    return tree;
}

// Run over the withholding platform, the synchronization decides exactly as the real run
// then does, also where one change depends on another, and changes nothing.
TEST_F(SyncTest, PreviewDecidesAsTheRunAndChangesNothing) {
    project.includeSubfolders = true;
    putArchive({{project.path + "a.txt", Newer.ticks, "medium a"},
                {project.path + "new/b.txt", M.ticks, "medium b"},
                {project.path + "d.doc", M.ticks, "dropped"},
                {project.path + "e.txt", M.ticks, "medium e"},
                {project.path + "f.txt", M.ticks, "medium f"}});
    const std::vector<std::pair<std::string, FileTime>> disk = {
        {"a.txt", M}, {"a.txt.old", Older}, {"c.txt", M}, {"e.txt", Newer}, {"f.txt", Newer}};
    for (const auto& [name, time] : disk) {
        writeDiskFile(ann.folder / name, "disk " + name);
        setDiskFileTime(ann.folder / name, time);
    }
    const DateTime lastSync = localDateTime(FileTime{ArchiveTime.ticks - 600000000});
    ann.lastSync = lastSync;
    const auto diskBefore = treeOf(ann.folder.path());
    const auto mediumBefore = treeOf(medium.path());

    ProjectResult preview;
    {
        WithholdingPlatform withholding(systemPlatform());
        ann.platform = &withholding;
        preview = syncAnn({true, ConflictAnswer::YesToAll});
        ann.platform = &systemPlatform();
    }
    EXPECT_EQ(preview.end, ProjectEnd::Synchronized);
    EXPECT_TRUE(ann.prompt.questions.empty());
    EXPECT_TRUE(treeOf(ann.folder.path()) == diskBefore) << "the disk is untouched";
    EXPECT_TRUE(treeOf(medium.path()) == mediumBefore) << "the medium is untouched";
    const std::vector<FileDecisionNote> previewed = ann.prompt.decisions;
    const SyncCounters previewCounts = ann.counters;

    ann.prompt.clear();
    ann.counters = {};
    ann.lastSync = lastSync;
    ann.prompt.answers = {2};
    EXPECT_EQ(syncAnn().end, ProjectEnd::Synchronized);
    EXPECT_EQ(ann.prompt.questions.size(), 1u);
    ASSERT_EQ(ann.prompt.decisions.size(), previewed.size());
    for (std::size_t i = 0; i < previewed.size(); ++i) {
        EXPECT_EQ(ann.prompt.decisions[i].decision, previewed[i].decision) << i;
        EXPECT_EQ(ann.prompt.decisions[i].localPath, previewed[i].localPath) << i;
        EXPECT_EQ(ann.prompt.decisions[i].recordName, previewed[i].recordName) << i;
    }
    expectCounts(ann.counters, previewCounts);
    expectCounts(ann.counters, {0, 3, 1, 1, 1});
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt.old"), "disk a.txt");
    EXPECT_EQ(readDiskFile(ann.folder / "new/b.txt"), "medium b");
}

// An empty mask list reaches the second machine whole and stays so.
TEST_F(SyncTest, EmptyMaskListTravelsIntact) {
    project.mask = "";
    writeDiskFile(ann.folder / "README", "r");
    writeDiskFile(ann.folder / "main.c", "c");
    ASSERT_EQ(syncAnn().end, ProjectEnd::Synchronized);
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_EQ(bob.counters.addedToProjects, 2u);
    expectCounts(ann.counters, {0, 0, 0, 2, 0});
    bob.counters = {};
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    expectCounts(bob.counters, {});
    EXPECT_EQ(records().size(), 2u) << "no record is dropped under an empty mask list";
}

// The medium inside the project: the archive never swallows itself or what lies beside it,
// nor keeps a record from there.
TEST_F(SyncTest, ArchiveFolderInsideTheProjectIsNotCarried) {
    project.includeSubfolders = true;
    writeDiskFile(ann.folder / "a.txt", "a");
    const std::string inside = ann.folder.path();
    auto sync = [&] { return testkit::synchronizeOn(ann, inside, project, ann.folder.path()); };
    ASSERT_EQ(sync().end, ProjectEnd::Synchronized);
    writeDiskFile(ann.folder / "Ferry/notes.txt", "beside the archives");
    ASSERT_EQ(sync().end, ProjectEnd::Synchronized);
    const std::string archivePath = testkit::archivePathOf(inside, project);
    const auto content = testkit::readArchiveFile(archivePath);
    ASSERT_TRUE(content);
    ASSERT_EQ(content->records.size(), 1u);
    EXPECT_EQ(content->records[0].name, project.path + "a.txt");

    // A record from the archive folder (written by a program that did not keep it out)
    // is dropped, and the file there is left alone.
    std::vector<ArchiveRecord> records = content->records;
    records.push_back({project.path + "Ferry/notes.txt", M.ticks, "swallowed"});
    writeDiskFile(archivePath, testkit::archiveBytes(content->headerText, records));
    ASSERT_EQ(sync().end, ProjectEnd::Synchronized);
    EXPECT_EQ(ann.counters.removedFromMedia, 1u);
    EXPECT_EQ(testkit::readArchiveFile(archivePath)->records.size(), 1u);
    EXPECT_EQ(readDiskFile(ann.folder / "Ferry/notes.txt"), "beside the archives");
}

// Progress names the file and goes in chunks through a long copy; a stop request ends the
// project with nothing written to the medium.
TEST_F(SyncTest, ProgressAndStopRequest) {
    writeDiskFile(ann.folder / "big.txt", testkit::sourceLikeText(3 << 20));
    ASSERT_EQ(syncAnn().end, ProjectEnd::Synchronized);
    std::size_t namingBig = 0;
    std::uint64_t done = 0;
    for (const SyncProgress& report : ann.prompt.reports) {
        EXPECT_EQ(report.project, project.path);
        EXPECT_LE(report.done, report.expected);
        EXPECT_GE(report.done, done);
        done = report.done;
        namingBig += report.file == ann.folder / "big.txt";
    }
    EXPECT_GE(namingBig, 3u) << "reading and compressing 3 MiB report in chunks";

    writeDiskFile(ann.folder / "big.txt", testkit::sourceLikeText(2 << 20) + "changed");
    setDiskFileTime(ann.folder / "big.txt", Newer);
    const std::string before = readDiskFile(archive());
    const FileTime timeBefore = diskFileTime(archive());
    const DateTime lastSyncBefore = ann.lastSync;
    ann.prompt.clear();
    ann.prompt.stopAtReport = 2;
    EXPECT_EQ(syncAnn().end, ProjectEnd::Stopped);
    EXPECT_TRUE(ann.prompt.messages.empty());
    EXPECT_EQ(readDiskFile(archive()), before);
    EXPECT_EQ(diskFileTime(archive()), timeBefore);
    EXPECT_EQ(ann.lastSync, lastSyncBefore);
}

// A work directory on a file system that matches names regardless of letter case.
class CaseFoldingDisk final : public testkit::PassThroughPlatform {
  public:
    CaseFoldingDisk() : PassThroughPlatform(systemPlatform()) {}
    SystemResult<bool> foldsLetterCase(const std::string&) override { return {true, {}}; }
};

// Names differing only in letter case, and names holding "\", are files like any other
// between Linux folders; where the work directory folds case, each twin after the first
// stays where it is, told and counted, and the rest of the project travels.
TEST_F(SyncTest, CaseTwinsAndBackslashNamesTravelWhereTheWorkDirectoryCanHoldThem) {
    project.mask = "";
    for (const char* name : {"xt_CONNMARK.h", "xt_connmark.h", "..\\note.txt", "trail\\"})
        writeDiskFile(ann.folder / name, name);
    ASSERT_EQ(syncAnn().end, ProjectEnd::Synchronized);
    EXPECT_TRUE(ann.prompt.messages.empty());
    EXPECT_EQ(records().size(), 4u);
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_TRUE(bob.prompt.messages.empty());
    for (const char* name : {"xt_CONNMARK.h", "xt_connmark.h", "..\\note.txt", "trail\\"})
        EXPECT_EQ(readDiskFile(bob.folder / name), name);

    Machine carol;
    CaseFoldingDisk folding;
    carol.platform = &folding;
    carol.lastSync = ann.lastSync;  // she has run with the project before: hers join it
    writeDiskFile(carol.folder / "Local.h", "upper");
    writeDiskFile(carol.folder / "local.h", "lower");
    const std::string upper = carol.folder / "xt_CONNMARK.h";
    const std::string lower = carol.folder / "xt_connmark.h";
    ASSERT_EQ(testkit::synchronizeOn(carol, medium.path(), project, carol.folder.path()).end,
              ProjectEnd::Synchronized);
    // Which twin comes first is the folder's order.
    const std::vector<std::string>& told = carol.prompt.messages;
    for (const auto& [a, b] :
         {std::pair{carol.folder / "Local.h", carol.folder / "local.h"}, std::pair{upper, lower}}) {
        EXPECT_EQ(std::count(told.begin(), told.end(), caseTwinsMessage(a, b)) +
                      std::count(told.begin(), told.end(), caseTwinsMessage(b, a)),
                  1)
            << a;
    }
    EXPECT_EQ(told.size(), 2u);
    EXPECT_EQ(carol.counters.uncarriedFiles, 2u);
    EXPECT_NE(exists(upper), exists(lower)) << "one stays on the medium only";
    EXPECT_EQ(records().size(), 5u) << "every record stays, one of the local twins joins";
    EXPECT_NE(syncReportText("M/", carol.counters).find("\r\n2 - Files not carried"),
              std::string::npos);
}

const std::string WindowsProject = "C:\\Work\\Proj\\";

// An archive written on Windows comes to a Linux work directory and goes back with the
// separators it came with.
TEST_F(SyncTest, WindowsArchiveTravelsThroughALinuxWorkDirectory) {
    project = {WindowsProject, "*.pas", true};
    putArchive({{WindowsProject + "a.pas", M.ticks, "program a;"},
                {WindowsProject + "src\\b.pas", M.ticks, "unit b;"}});
    EXPECT_EQ(medium / "Ferry/C=%Work%Proj%0281.move", archive());

    // Without a work directory the Windows path names no folder here.
    const std::string before = readDiskFile(archive());
    EXPECT_EQ(testkit::synchronizeOn(bob, medium.path(), project, WindowsProject).end,
              ProjectEnd::Refused);
    EXPECT_EQ(bob.prompt.messages, std::vector<std::string>{workDirNeededMessage(WindowsProject)});
    EXPECT_EQ(readDiskFile(archive()), before);
    bob.prompt.clear();

    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_EQ(readDiskFile(bob.folder / "a.pas"), "program a;");
    EXPECT_EQ(readDiskFile(bob.folder / "src/b.pas"), "unit b;");
    EXPECT_EQ(diskFileTime(bob.folder / "src/b.pas"), M);

    writeDiskFile(bob.folder / "src/b.pas", "unit b; { edited }");
    setDiskFileTime(bob.folder / "src/b.pas", Newer);
    writeDiskFile(bob.folder / "src/deep/c.pas", "unit c;");
    setDiskFileTime(bob.folder / "src/deep/c.pas", Older);
    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    const auto content = testkit::readArchiveFile(archive());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->headerText, "+" + WindowsProject + ",*.pas");
    // What stayed first; then the new file and the version of another size, oldest first.
    const std::vector<ArchiveRecord> expected = {
        {WindowsProject + "a.pas", M.ticks, "program a;"},
        {WindowsProject + "src\\deep\\c.pas", Older.ticks, "unit c;"},
        {WindowsProject + "src\\b.pas", Newer.ticks, "unit b; { edited }"}};
    EXPECT_EQ(content->records, expected);

    // A Linux name holding "\" would come back to Windows as a folder: it stays, the rest
    // travels.
    writeDiskFile(bob.folder / "odd\\name.pas", "x");
    writeDiskFile(bob.folder / "d.pas", "unit d;");
    bob.prompt.clear();
    EXPECT_EQ(syncBob().end, ProjectEnd::Synchronized);
    EXPECT_EQ(bob.prompt.messages,
              std::vector<std::string>{uncarriableNameMessage(bob.folder / "odd\\name.pas")});
    EXPECT_EQ(bob.counters.uncarriedFiles, 1u);
    EXPECT_EQ(records().size(), 4u) << "d.pas joined";
}

// A record whose path this system cannot create (a name over 255 bytes, a path over
// 4096) is told and stays on the medium; no folder is made for it; the rest travels.
TEST_F(SyncTest, UncreatablePathsStayOnTheMedium) {
    project.includeSubfolders = true;
    const std::string longName = project.path + std::string(256, 'n') + "/a.txt";
    std::string deep = project.path;
    while (deep.size() < 4096) deep += std::string(200, 'd') + "/";
    deep += "b.txt";
    putArchive(
        {{longName, M.ticks, "a"}, {deep, M.ticks, "b"}, {project.path + "c.txt", M.ticks, "c"}});
    const std::string before = readDiskFile(archive());

    ASSERT_EQ(syncBob().end, ProjectEnd::Synchronized);
    const auto bobsFile = [&](const std::string& name) {
        return bob.folder / name.substr(project.path.size());
    };
    EXPECT_EQ(bob.prompt.messages, (std::vector<std::string>{pathTooLongMessage(bobsFile(longName)),
                                                             pathTooLongMessage(bobsFile(deep))}));
    EXPECT_EQ(bob.counters.uncarriedFiles, 2u);
    EXPECT_EQ(bob.counters.addedToProjects, 1u);
    EXPECT_EQ(readDiskFile(bob.folder / "c.txt"), "c");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bob.folder.path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no folder was made";
    EXPECT_TRUE(readDiskFile(archive()) == before);
}

struct HostileRow {
    std::string name;
    std::string sequence;  // the record sequence as raw bytes
};

std::string hostileRecord(const std::string& name) {
    return testkit::recordBytes({name, M.ticks, "payload"});
}

// Archives that are damaged or would write outside the project are refused before
// anything changes on either side.
TEST_F(SyncTest, DamagedOrHostileArchivesAreRefused) {
    const std::string P = project.path;
    const std::string terminator(1, '\0');
    const std::string longSequence = testkit::sourceLikeText(ArchiveBlockSize - 20);
    const std::vector<HostileRow> rows = {
        {"a parent component", hostileRecord(P + "../escape.txt") + terminator},
        {"a parent component further in", hostileRecord(P + "sub/../../escape.txt") + terminator},
        {"an absolute relative part", hostileRecord(P + "/tmp/escape.txt") + terminator},
        {"a name outside the project path", hostileRecord("/tmp/escape.txt") + terminator},
        {"a name that is only the project path", hostileRecord(P) + terminator},
        {"a current-folder component", hostileRecord(P + "./a.txt") + terminator},
        {"an empty component", hostileRecord(P + "sub//a.txt") + terminator},
        {"one name twice", hostileRecord(P + "a.txt") + hostileRecord(P + "a.txt") + terminator},
        {"a record cut short", hostileRecord(P + "a.txt").substr(0, 20)},
        {"records without terminator", hostileRecord(P + "a.txt")},
        {"cut at a block boundary",
         testkit::recordBytes({P + "a.txt", M.ticks, longSequence}).substr(0, ArchiveBlockSize)},
    };
    for (const HostileRow& row : rows) {
        SCOPED_TRACE(row.name);
        Machine machine;
        const TempDir rowMedium;
        const ProjectSpec rowProject = project;
        const std::string archivePath = testkit::archivePathOf(rowMedium.path(), rowProject);
        writeDiskFile(archivePath,
                      testkit::archiveBytesOf(buildHeaderText({false, P, "*.txt"}), row.sequence));
        setDiskFileTime(archivePath, ArchiveTime);
        const std::string before = readDiskFile(archivePath);
        writeDiskFile(ann.folder / "keep.txt", "mine");
        setDiskFileTime(ann.folder / "keep.txt", Newer);
        machine.lastSync = 700000.0;

        const ProjectResult result =
            testkit::synchronizeOn(machine, rowMedium.path(), rowProject, ann.folder.path());
        EXPECT_EQ(result.end, ProjectEnd::Refused);
        EXPECT_EQ(machine.prompt.messages,
                  std::vector<std::string>{unsafeArchiveMessage(archivePath)});
        EXPECT_EQ(readDiskFile(archivePath), before);
        EXPECT_EQ(diskFileTime(archivePath), ArchiveTime);
        EXPECT_EQ(machine.lastSync, 700000.0);
        expectCounts(machine.counters, {});
        EXPECT_TRUE(machine.prompt.decisions.empty());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ann.folder.path()),
                                std::filesystem::directory_iterator()),
                  1)
            << "only keep.txt";
        EXPECT_FALSE(exists("/tmp/escape.txt"));
        EXPECT_FALSE(exists(ann.folder / "../escape.txt"));
    }
}

}  // namespace
}  // namespace ferry
