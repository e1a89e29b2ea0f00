// A synchronization compresses only what it must: nothing when it writes nothing, and
// from the first block that differs when it writes. Each case runs twice from the same
// start, once so and once compressing everything, and both must leave the same archive,
// the same disk and tell the user the same.

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <functional>
#include <map>
#include <utility>

#include "archive/media_archive.h"
#include "sync/synchronize_project.h"
#include "tests/sync/sync_testkit.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/plain_ucl.h"

namespace ferry {
namespace {

using testkit::ArchiveRecord;
using testkit::linesOfText;
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
constexpr std::uint32_t B = ArchiveBlockSize;

std::string noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525 + 1013904223;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

struct File {
    std::string relative;
    std::string content;
};

// About 3.3 blocks of records: a.txt fills block 0 and runs into block 1, c.txt starts in
// block 2, d.txt in block 3.
const std::vector<File>& projectFiles() {
    static const std::vector<File> files{{"a.txt", linesOfText(600000, 'a')},
                                         {"b.txt", noise(500000, 1)},
                                         {"c.txt", linesOfText(500000, 'c')},
                                         {"d.txt", linesOfText(60000, 'd') + noise(60000, 2)}};
    return files;
}

// How the old archive was compressed: by this program (plain libucl at level 7 in blocks
// of B gives the same bytes), by another writer at level 1, or in blocks of half the size.
enum class OldArchive { Ours, LevelOne, HalfBlocks };

struct Row {
    std::string name;
    OldArchive old = OldArchive::Ours;
    std::function<void(const TempDir& folder)> change;
    std::vector<std::int32_t> answers;
    int lastSyncSecondsBefore = 0;
    // Leading blocks of an old level-1 archive that the new one still holds unchanged.
    std::size_t copiedBlocks = 0;
    // This machine synchronized the old archive before the change, so it knows it without
    // reading it: the run reads only the blocks it uses.
    bool remembered = false;
};

void addNewFile(const TempDir& folder) {
    writeDiskFile(folder / "e.txt", linesOfText(200000, 'e'));
    setDiskFileTime(folder / "e.txt", Newer);
}

void changeFile(const TempDir& folder, const std::string& relative, FileTime time) {
    writeDiskFile(folder / relative, linesOfText(90000, 'x'));
    setDiskFileTime(folder / relative, time);
}

Row row(std::string name, OldArchive old, std::function<void(const TempDir&)> change,
        std::size_t copiedBlocks = 0) {
    Row row;
    row.name = std::move(name);
    row.old = old;
    row.change = std::move(change);
    row.copiedBlocks = copiedBlocks;
    return row;
}

// New bytes in the middle of b.txt, its size kept; or its bytes as they were with a new
// time.
void sameSizeChange(const TempDir& folder) {
    std::string content = readDiskFile(folder / "b.txt");
    content[content.size() / 2] = static_cast<char>(content[content.size() / 2] ^ 1);
    writeDiskFile(folder / "b.txt", content);
    setDiskFileTime(folder / "b.txt", Newer);
}

void touchFile(const TempDir& folder) {
    setDiskFileTime(folder / "b.txt", Newer);
}

void dropFile(const TempDir& folder) {
    std::filesystem::remove(folder / "c.txt");
}

std::vector<Row> rows() {
    const auto changeFirst = [](const TempDir& folder) { changeFile(folder, "a.txt", Newer); };
    const auto changeLast = [](const TempDir& folder) { changeFile(folder, "d.txt", Newer); };
    const auto nothing = [](const TempDir&) {};
    std::vector<Row> rows{
        row("nothing changed", OldArchive::Ours, nothing),
        row("a new file", OldArchive::Ours, addNewFile),
        row("a changed first record", OldArchive::Ours, changeFirst),
        row("a changed last record", OldArchive::Ours, changeLast),
        row("a dropped record", OldArchive::Ours, dropFile),
        row("the medium newer: the payload written again as it was", OldArchive::Ours,
            [](const TempDir& folder) { changeFile(folder, "b.txt", Older); }),
        row("a file changed, its size kept", OldArchive::Ours, sameSizeChange),
        row("a file touched", OldArchive::Ours, touchFile),
        row("another writer's level: a new file", OldArchive::LevelOne, addNewFile, 3),
        row("another writer's level: a dropped record", OldArchive::LevelOne, dropFile, 2),
        row("another writer's level: nothing changed", OldArchive::LevelOne, nothing),
        row("blocks of another size: a new file", OldArchive::HalfBlocks, addNewFile),
        row("blocks of another size: a changed last record", OldArchive::HalfBlocks, changeLast),
    };
    Row conflict =
        row("a conflict answered No, then a new file", OldArchive::Ours, [](const TempDir& folder) {
            changeFile(folder, "a.txt", Newer);
            addNewFile(folder);
        });
    conflict.answers = {3};
    conflict.lastSyncSecondsBefore = 60;
    rows.push_back(conflict);
    for (Row remembered :
         {row("remembered: a new file", OldArchive::Ours, addNewFile),
          row("remembered: a changed first record", OldArchive::Ours, changeFirst),
          row("remembered: a changed last record", OldArchive::Ours, changeLast),
          row("remembered: a dropped record", OldArchive::Ours, dropFile),
          row("remembered: a file touched", OldArchive::Ours, touchFile),
          row("remembered: the medium newer", OldArchive::Ours,
              [](const TempDir& folder) { changeFile(folder, "b.txt", Older); })}) {
        remembered.remembered = true;
        rows.push_back(remembered);
    }
    return rows;
}

std::string oldPayload(const std::string& projectPath, OldArchive old) {
    std::string sequence;
    for (const File& file : projectFiles())
        sequence += testkit::recordBytes({projectPath + file.relative, M.ticks, file.content});
    sequence += '\0';
    switch (old) {
        case OldArchive::Ours: return testkit::plainPayload(sequence, B);
        case OldArchive::LevelOne: return testkit::plainPayload(sequence, B, 1);
        case OldArchive::HalfBlocks: return testkit::plainPayload(sequence, B / 2);
    }
    return {};
}

// What one run left and told.
struct Outcome {
    ProjectResult result;
    std::string headerText;
    std::string payload;  // the archive's bytes after the header and the stamp
    std::string records;  // the payload decoded
    std::string disk;
    SyncCounters counters;
    std::vector<FileDecisionNote> decisions;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
};

void clearFolder(const std::string& path) {
    for (const auto& entry : std::filesystem::directory_iterator(path))
        std::filesystem::remove_all(entry.path());
}

class PayloadReuseTest : public ::testing::Test {
  protected:
    TempDir medium;
    Machine machine;
    ProjectSpec project{machine.folder.path(), "*.txt", false};

    std::string archive() const { return testkit::archivePathOf(medium.path(), project); }
    std::string header() const { return buildHeaderText({false, project.path, project.mask}); }

    // Puts the project and its old archive in place, makes the row's change and runs.
    Outcome run(const Row& row, const std::string& old, bool wholeRecompression) {
        clearFolder(medium.path());
        clearFolder(machine.folder.path());
        for (const File& file : projectFiles()) {
            writeDiskFile(machine.folder / file.relative, file.content);
            setDiskFileTime(machine.folder / file.relative, M);
        }
        std::filesystem::create_directories(medium / std::string(MediaFolderName));
        writeDiskFile(archive(),
                      header() + '\0' +
                          testkit::littleEndian(std::bit_cast<std::uint64_t>(739000.5), 8) + old);
        setDiskFileTime(archive(), ArchiveTime);
        machine.lastSync = testkit::localDateTime(
            FileTime{ArchiveTime.ticks - std::uint64_t(row.lastSyncSecondsBefore) * 10000000});
        // The staged archive is no run's of this machine: the clocks decide.
        testkit::forgetSynchronizedArchives(machine);
        if (row.remembered) {
            EXPECT_EQ(
                testkit::synchronizeOn(machine, medium.path(), project, machine.folder.path()).end,
                ProjectEnd::Synchronized);
        }
        row.change(machine.folder);
        machine.counters = {};
        machine.prompt.clear();
        machine.prompt.answers = row.answers;

        SyncOptions options;
        options.wholeRecompression = wholeRecompression;
        Outcome outcome;
        outcome.result =
            testkit::synchronizeOn(machine, medium.path(), project, machine.folder.path(), options);
        const std::string bytes = readDiskFile(archive());
        const std::size_t headerEnd = bytes.find('\0');
        outcome.headerText = bytes.substr(0, headerEnd);
        outcome.payload = bytes.substr(headerEnd + 9);
        outcome.records = testkit::plainDecodePayload(outcome.payload, B).value_or("damaged");
        outcome.disk = testkit::diskTreeSnapshot(machine.folder.path());
        outcome.counters = machine.counters;
        outcome.decisions = machine.prompt.decisions;
        outcome.questions = machine.prompt.questions;
        outcome.messages = machine.prompt.messages;
        return outcome;
    }
};

std::vector<std::pair<FileDecision, ConflictAnswer>> decisionsOf(const Outcome& outcome) {
    std::vector<std::pair<FileDecision, ConflictAnswer>> decisions;
    for (const FileDecisionNote& note : outcome.decisions)
        decisions.emplace_back(note.decision, note.answer);
    return decisions;
}

TEST_F(PayloadReuseTest, FastPathsWriteWhatCompressingEverythingWrites) {
    std::map<OldArchive, std::string> oldPayloads;
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        std::string& old = oldPayloads[row.old];
        if (old.empty()) old = oldPayload(project.path, row.old);
        const Outcome fast = run(row, old, false);
        const Outcome whole = run(row, old, true);

        EXPECT_EQ(fast.result.end, ProjectEnd::Synchronized);
        EXPECT_EQ(fast.result.end, whole.result.end);
        EXPECT_EQ(fast.result.archivePath, whole.result.archivePath);
        EXPECT_EQ(fast.headerText, whole.headerText);
        // Multi-megabyte values are compared whole: a failure names the line, not the bytes.
        EXPECT_TRUE(fast.records == whole.records);
        EXPECT_NE(fast.records, "damaged");
        EXPECT_TRUE(fast.disk == whole.disk);
        EXPECT_EQ(fast.counters.replacedOnMedia, whole.counters.replacedOnMedia);
        EXPECT_EQ(fast.counters.replacedInProjects, whole.counters.replacedInProjects);
        EXPECT_EQ(fast.counters.addedToProjects, whole.counters.addedToProjects);
        EXPECT_EQ(fast.counters.addedNewFiles, whole.counters.addedNewFiles);
        EXPECT_EQ(fast.counters.removedFromMedia, whole.counters.removedFromMedia);
        EXPECT_EQ(decisionsOf(fast), decisionsOf(whole));
        EXPECT_EQ(fast.questions, whole.questions);
        EXPECT_EQ(fast.questions.size(), row.answers.size());
        EXPECT_EQ(fast.messages, whole.messages);
        EXPECT_TRUE(fast.messages.empty());

        const bool unchanged = fast.counters.replacedOnMedia + fast.counters.replacedInProjects +
                                   fast.counters.addedNewFiles + fast.counters.removedFromMedia ==
                               0;
        if (unchanged) {
            // Not written again: the old bytes stay, whoever compressed them.
            EXPECT_TRUE(fast.payload == old);
            EXPECT_TRUE(whole.payload == old);
        } else if (row.old == OldArchive::LevelOne) {
            // The blocks it still shares are copied as they are, the rest compressed anew.
            const auto oldBlocks = testkit::plainBlocks(old);
            const auto fastBlocks = testkit::plainBlocks(fast.payload);
            ASSERT_TRUE(oldBlocks && fastBlocks);
            ASSERT_GT(fastBlocks->size(), row.copiedBlocks);
            for (std::size_t i = 0; i < row.copiedBlocks; ++i)
                EXPECT_TRUE((*fastBlocks)[i] == (*oldBlocks)[i]) << "block " << i;
            EXPECT_FALSE((*fastBlocks)[row.copiedBlocks] == (*oldBlocks)[row.copiedBlocks]);
            EXPECT_FALSE(fast.payload == whole.payload);
        } else {
            EXPECT_TRUE(fast.payload == whole.payload);
        }
        // A touched file keeps its place: the records after it stay where they were.
        if (row.name.ends_with("touched")) {
            const std::optional<std::string> oldRecords = testkit::plainDecodePayload(old, B);
            ASSERT_TRUE(oldRecords);
            ASSERT_EQ(fast.records.size(), oldRecords->size());
            const std::size_t tail = oldRecords->size() - oldRecords->find("d.txt");
            EXPECT_TRUE(fast.records.substr(fast.records.size() - tail) ==
                        oldRecords->substr(oldRecords->size() - tail));
        }
    }
}

}  // namespace
}  // namespace ferry
