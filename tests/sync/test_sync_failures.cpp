// Failures met while synchronizing one project, staged through the platform seam (the
// tests run as root, where the system itself refuses nothing): a full or vanished
// medium, a crash between two steps of replacing the archive, a full disk, files that
// cannot be opened or listed.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>

#include "archive/media_archive.h"
#include "platform/system_error.h"
#include "platform/withholding_platform.h"
#include "sync/sync_messages.h"
#include "sync/sync_run.h"
#include "sync/synchronize_project.h"
#include "tests/sync/sync_testkit.h"
#include "tests/testkit/config_home.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/stream_bytes.h"

namespace ferry {
namespace {

using testkit::ArchiveRecord;
using testkit::Call;
using testkit::diskFileTime;
using testkit::FaultPlatform;
using testkit::localDateTime;
using testkit::Machine;
using testkit::ProjectSpec;
using testkit::readDiskFile;
using testkit::setDiskFileTime;
using testkit::TempDir;
using testkit::utcFileTime;
using testkit::writeDiskFile;

const FileTime M = utcFileTime(2024, 1, 1, 10);
const FileTime Newer = utcFileTime(2024, 1, 2, 10);
const FileTime Older = utcFileTime(2023, 12, 31, 10);
const FileTime ArchiveTime = utcFileTime(2024, 1, 10, 12);

bool exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::symlink_status(path, ignored).type() !=
           std::filesystem::file_type::not_found;
}

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string errorText(SystemError error) {
    return systemErrorText(error);
}

// A medium of a fixed size: a write to it takes only what still fits beside the files
// already there, as a real stick does; deleting a file makes room again.
class LimitedMedium final : public testkit::PassThroughPlatform {
  public:
    LimitedMedium(std::string folder, std::uint64_t capacity)
        : folder_(std::move(folder)), capacity_(capacity) {}

    SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                      FileCreation creation) override {
        const SystemResult<FileHandle> opened = real_.openFile(path, access, creation);
        if (opened) paths_[opened.value] = path;
        return opened;
    }
    SystemResult<> closeFile(FileHandle handle) override {
        paths_.erase(handle);
        return real_.closeFile(handle);
    }
    SystemResult<std::int64_t> writeFile(FileHandle handle, const void* source,
                                         std::size_t count) override {
        const auto path = paths_.find(handle);
        if (path == paths_.end() || !path->second.starts_with(folder_))
            return real_.writeFile(handle, source, count);
        const std::uint64_t room = capacity_ - std::min(capacity_, used());
        if (room == 0) return {-1, testkit::NoRoom};
        return real_.writeFile(handle, source, std::min<std::uint64_t>(count, room));
    }
    SystemResult<std::int64_t> roomToWrite(const std::string& folder) override {
        if (!folder.starts_with(folder_)) return real_.roomToWrite(folder);
        return {static_cast<std::int64_t>(capacity_ - std::min(capacity_, used())), {}};
    }

  private:
    std::uint64_t used() const {
        std::uint64_t total = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_))
            if (entry.is_regular_file()) total += entry.file_size();
        return total;
    }

    std::string folder_;
    std::uint64_t capacity_;
    std::map<FileHandle, std::string> paths_;
};

// One machine with a project whose archive holds a.txt, and a newer a.txt on disk, so
// that the next run rewrites the archive.
class FailureTest : public ::testing::Test {
  public:
    TempDir medium;
    Machine ann;
    ProjectSpec project{ann.folder.path(), "*.txt", false};
    // Large enough that a medium can hold the old or the new archive but not both.
    const std::string mediumA = testkit::randomBytes(150000, 2);
    std::string archiveBefore;
    DateTime lastSyncBefore = 0;

    std::string archive() const { return testkit::archivePathOf(medium.path(), project); }
    std::string temporary() const { return archive() + ".new"; }
    // A run of ann's on `system`.
    ProjectResult sync(Platform& system = systemPlatform()) {
        ann.platform = &system;
        const ProjectResult result =
            testkit::synchronizeOn(ann, medium.path(), project, ann.folder.path());
        ann.platform = &systemPlatform();
        return result;
    }

    void SetUp() override { stage(); }

    void stage() {
        std::filesystem::create_directories(medium / "Ferry");
        writeDiskFile(archive(),
                      testkit::archiveBytes(buildHeaderText({false, project.path, "*.txt"}),
                                            {{project.path + "a.txt", M.ticks, mediumA}}));
        setDiskFileTime(archive(), ArchiveTime);
        archiveBefore = readDiskFile(archive());
        writeDiskFile(ann.folder / "a.txt", testkit::randomBytes(200000) + "disk a");
        setDiskFileTime(ann.folder / "a.txt", Newer);
        ann.lastSync = lastSyncBefore = localDateTime(ArchiveTime);
        ann.prompt.clear();
    }

    // The archive on the medium is the one from before, byte for byte and in time.
    void expectArchiveAsBefore() {
        EXPECT_TRUE(readDiskFile(archive()) == archiveBefore) << "the same bytes";
        EXPECT_EQ(diskFileTime(archive()), ArchiveTime);
        EXPECT_EQ(ann.lastSync, lastSyncBefore);
    }
};

// A medium with room for the new archive alone takes it in place of the old one; with
// room for neither the old archive comes back as it was.
TEST_F(FailureTest, FullMediumFallsBackToOverwritingAndRestores) {
    // The old archive takes about 150 kB, the new one about 200 kB.
    {
        LimitedMedium stick(medium.path(), 170000);
        EXPECT_EQ(sync(stick).end, ProjectEnd::Stopped);
    }
    EXPECT_EQ(
        ann.prompt.messages,
        std::vector<std::string>{"Could not replace file " + archive() + " for project " +
                                 project.path + " (may be no space on media or media removed)"});
    expectArchiveAsBefore();
    EXPECT_FALSE(exists(temporary()));

    ann.prompt.clear();
    {
        LimitedMedium stick(medium.path(), 260000);
        EXPECT_EQ(sync(stick).end, ProjectEnd::Synchronized);
    }
    EXPECT_TRUE(ann.prompt.messages.empty());
    const auto content = testkit::readArchiveFile(archive());
    ASSERT_TRUE(content);
    ASSERT_EQ(content->records.size(), 1u);
    EXPECT_TRUE(content->records[0].content == readDiskFile(ann.folder / "a.txt"));
    EXPECT_FALSE(exists(temporary()));
}

// A preview on a medium without room for the new archive, or that takes no writes, tells
// what the run would meet there instead of foretelling a replacement.
TEST_F(FailureTest, PreviewTellsWhatTheMediumWouldRefuse) {
    const auto preview = [&](Platform& stick) {
        WithholdingPlatform withheld(stick);
        ann.platform = &withheld;
        SyncOptions options;
        options.preview = true;
        const ProjectResult result =
            testkit::synchronizeOn(ann, medium.path(), project, ann.folder.path(), options);
        ann.platform = &systemPlatform();
        return result.end;
    };
    const auto told = [&](const std::string& reason) {
        return std::vector<std::string>{"Could not replace file " + archive() + " for project " +
                                        project.path + " (" + reason + ")"};
    };
    LimitedMedium full(medium.path(), 170000);
    EXPECT_EQ(preview(full), ProjectEnd::Stopped);
    EXPECT_EQ(ann.prompt.messages, told("may be no space on media or media removed"));
    ann.prompt.clear();
    LimitedMedium roomForOne(medium.path(), 260000);
    EXPECT_EQ(preview(roomForOne), ProjectEnd::Synchronized);
    EXPECT_TRUE(ann.prompt.messages.empty());
    FaultPlatform locked;
    locked.failCall(Call::RoomToWrite, "Ferry/", testkit::ReadOnlyMedium);
    EXPECT_EQ(preview(locked), ProjectEnd::Stopped);
    EXPECT_EQ(ann.prompt.messages, told("the medium is read-only: nothing can be written on it"));
    EXPECT_TRUE(readDiskFile(archive()) == archiveBefore) << "a preview writes nothing";
}

// A medium that fails (removed, broken, locked, not this user's) is never overwritten: the
// old archive stays, and the user is told which of these it was.
TEST_F(FailureTest, FailingMediumKeepsTheOldArchive) {
    const std::string removed = "may be no space on media or media removed";
    const std::pair<SystemError, std::string> rows[] = {
        {testkit::DeviceFailure, removed},
        {testkit::DeviceGone, removed},
        {testkit::ReadOnlyMedium, "the medium is read-only: nothing can be written on it"},
        {testkit::AccessDenied, "this user may not write on the medium"}};
    for (const auto& [error, reason] : rows) {
        SCOPED_TRACE(systemErrorText(error));
        ann.prompt.clear();
        FaultPlatform faults;
        faults.failWritesAfter(5000, "Ferry/", error);
        EXPECT_EQ(sync(faults).end, ProjectEnd::Stopped);
        EXPECT_EQ(ann.prompt.messages,
                  std::vector<std::string>{"Could not replace file " + archive() + " for project " +
                                           project.path + " (" + reason + ")"});
        expectArchiveAsBefore();
        EXPECT_FALSE(exists(temporary()));
    }
}

struct CrashRow {
    std::string name;
    Call call;
    std::string pathPart;
};

// A crash between two steps of the replacement, staged as a failing step whose clean-up
// fails too: the medium always holds a whole archive, and the next run clears the rest.
TEST_F(FailureTest, CrashBetweenAnyTwoStepsLeavesAWholeArchive) {
    const std::vector<CrashRow> rows = {
        {"creating the temporary archive", Call::OpenFile, ".move.new"},
        {"writing it", Call::WriteFile, ".move.new"},
        {"flushing it", Call::FlushFile, ".move.new"},
        {"closing it", Call::CloseFile, ".move.new"},
        {"flushing the folder", Call::FlushFolder, "Ferry/"},
        {"renaming it into place", Call::RenameReplace, ".move.new"},
    };
    for (const CrashRow& row : rows) {
        SCOPED_TRACE(row.name);
        ann.prompt.clear();
        {
            FaultPlatform faults;
            faults.failCall(row.call, row.pathPart, testkit::DeviceFailure);
            faults.failCall(Call::RemoveFile, ".move.new", testkit::DeviceFailure);
            EXPECT_EQ(sync(faults).end, ProjectEnd::Stopped);
        }
        expectArchiveAsBefore();
        const auto content = testkit::readArchiveFile(archive());
        ASSERT_TRUE(content) << "whole and listable";
        EXPECT_EQ(content->records.size(), 1u);
    }
    // The next run finds the archive and a stray temporary file beside it.
    writeDiskFile(temporary(), "stray");
    ann.prompt.clear();
    EXPECT_EQ(sync().end, ProjectEnd::Synchronized);
    EXPECT_FALSE(exists(temporary()));
    EXPECT_TRUE(testkit::readArchiveFile(archive())->records[0].content ==
                readDiskFile(ann.folder / "a.txt"));
    EXPECT_NEAR(ann.lastSync, localDateTime(diskFileTime(archive())), 2e-8);
}

// A process that dies after `steps` more changes: every change after that fails and
// changes nothing, clean-ups included.
class CutOff final : public testkit::PassThroughPlatform {
  public:
    CutOff(Platform& base, int steps) : PassThroughPlatform(base), steps_(steps) {}
    bool cut() const { return steps_ < 0; }

    SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                      FileCreation creation) override {
        if (access != FileAccess::Read && !step()) return {InvalidFileHandle, testkit::DeviceGone};
        return PassThroughPlatform::openFile(path, access, creation);
    }
    SystemResult<std::int64_t> writeFile(FileHandle handle, const void* source,
                                         std::size_t count) override {
        if (!step()) return {-1, testkit::DeviceGone};
        return PassThroughPlatform::writeFile(handle, source, count);
    }
    SystemResult<> setLastWriteTime(FileHandle handle, FileTime time) override {
        return step() ? PassThroughPlatform::setLastWriteTime(handle, time) : gone();
    }
    SystemResult<> flushFile(FileHandle handle) override {
        return step() ? PassThroughPlatform::flushFile(handle) : gone();
    }
    SystemResult<> makeFolder(const std::string& path) override {
        return step() ? PassThroughPlatform::makeFolder(path) : gone();
    }
    SystemResult<> removeFile(const std::string& path) override {
        return step() ? PassThroughPlatform::removeFile(path) : gone();
    }
    SystemResult<> renameNoReplace(const std::string& from, const std::string& to) override {
        return step() ? PassThroughPlatform::renameNoReplace(from, to) : gone();
    }
    SystemResult<> renameReplace(const std::string& from, const std::string& to) override {
        return step() ? PassThroughPlatform::renameReplace(from, to) : gone();
    }
    SystemResult<> flushFolder(const std::string& path) override {
        return step() ? PassThroughPlatform::flushFolder(path) : gone();
    }
    SystemResult<> truncateFile(FileHandle handle, std::int64_t size) override {
        return step() ? PassThroughPlatform::truncateFile(handle, size) : gone();
    }

  private:
    bool step() { return --steps_ >= 0; }
    static SystemResult<> gone() { return failedWith(testkit::DeviceGone); }
    int steps_;
};

// A medium with room for one archive only, and the run killed at every step of writing
// the new archive where the old one was: once the next run (or scan) has started, the
// medium holds the old archive or the new one, whole.
TEST_F(FailureTest, KillInTheFullMediumPathNeverLosesTheProject) {
    const std::string newContent = readDiskFile(ann.folder / "a.txt");
    bool cutAtAll = true;
    for (int steps = 0; cutAtAll; ++steps) {
        SCOPED_TRACE("killed after " + std::to_string(steps) + " changes");
        stage();
        {
            LimitedMedium stick(medium.path(), 260000);
            CutOff dying(stick, steps);
            sync(dying);
            cutAtAll = dying.cut();
        }
        testkit::ScriptedPrompt nextRun;
        putBackCutArchives(ann.context(), medium.path(), nextRun);
        const auto content = testkit::readArchiveFile(archive());
        ASSERT_TRUE(content) << "whole and listable";
        ASSERT_EQ(content->records.size(), 1u);
        const std::string& carried = content->records[0].content;
        EXPECT_TRUE(carried == mediumA || carried == newContent);
        if (carried == mediumA && readDiskFile(archive()) != archiveBefore)
            ADD_FAILURE() << "the old archive must come back to the byte";
    }
    EXPECT_TRUE(std::filesystem::is_empty(ann.settings / "ferryman/safety"))
        << "no copy is kept once the medium holds the project whole";
}

// A change written into the archive's own file (its leading blocks stay, only the tail is
// written, through a redo file), killed at every step: once the next scan (or run) has
// started, the medium holds the old archive or the new one, whole, and no redo file.
TEST_F(FailureTest, KillDuringAnInPlaceChangeLeavesTheOldOrTheNewArchive) {
    const std::string big = testkit::linesOfText(1200000, 'b');
    const std::string header = buildHeaderText({false, project.path, "*.txt"});
    const std::vector<ArchiveRecord> before{{project.path + "big.txt", M.ticks, big}};
    std::filesystem::remove(ann.folder / "a.txt");
    writeDiskFile(ann.folder / "big.txt", big);
    setDiskFileTime(ann.folder / "big.txt", M);
    bool cutAtAll = true;
    for (int steps = 0; cutAtAll; ++steps) {
        SCOPED_TRACE("killed after " + std::to_string(steps) + " changes");
        writeDiskFile(archive(), testkit::archiveBytes(header, before));
        setDiskFileTime(archive(), ArchiveTime);
        const std::string oldBytes = readDiskFile(archive());
        const ino_t inode = inodeOf(archive());
        writeDiskFile(ann.folder / "c.txt", "new on ann's disk");
        ann.lastSync = lastSyncBefore;
        {
            CutOff dying(systemPlatform(), steps);
            sync(dying);
            cutAtAll = dying.cut();
        }
        testkit::ScriptedPrompt nextScan;
        scanMedium(systemPlatform(), medium.path(), nextScan);
        EXPECT_FALSE(exists(archive() + ".redo"));
        const auto content = testkit::readArchiveFile(archive());
        ASSERT_TRUE(content) << "whole and listable";
        if (content->records == before) {
            EXPECT_TRUE(readDiskFile(archive()) == oldBytes) << "the old archive to the byte";
        } else {
            ASSERT_EQ(content->records.size(), 2u);
            EXPECT_EQ(content->records[1].content, "new on ann's disk");
            EXPECT_TRUE(readDiskFile(archive()).starts_with(oldBytes.substr(0, header.size() + 1)));
        }
        if (!cutAtAll) {
            EXPECT_EQ(content->records.size(), 2u) << "an uncut run changes it";
            EXPECT_EQ(inodeOf(archive()), inode) << "in the archive's own file";
        }
    }

    // A redo file that is not whole changes nothing and goes.
    const std::string after = readDiskFile(archive());
    writeDiskFile(archive() + ".redo", "FerryRedo1 cut short");
    testkit::ScriptedPrompt nextScan;
    scanMedium(systemPlatform(), medium.path(), nextScan);
    EXPECT_FALSE(exists(archive() + ".redo"));
    EXPECT_TRUE(readDiskFile(archive()) == after);
}

// After the mask list changed the archive gets a new name: it is written whole first,
// and the old one is deleted only then.
TEST_F(FailureTest, ArchiveUnderANewNameIsWrittenBeforeTheOldGoes) {
    const std::string oldArchive = archive();
    ProjectInputs inputs{medium.path(), project.path, "*.txt;*.md",
                         false,         oldArchive,   ann.folder.path()};
    const std::string newArchive =
        testkit::archivePathOf(medium.path(), {project.path, "*.txt;*.md"});
    {
        FaultPlatform faults;
        faults.failCall(Call::RemoveFile, oldArchive, testkit::DeviceFailure);
        const ProjectResult result =
            synchronizeProject({faults, ann.settings / "ferryman/"}, inputs, ann.lastSync,
                               ann.counters, ann.prompt, {});
        EXPECT_EQ(result.end, ProjectEnd::Stopped);
        EXPECT_EQ(result.archivePath, newArchive);
    }
    EXPECT_EQ(ann.prompt.messages,
              std::vector<std::string>{oldArchiveNotDeletedMessage(
                  oldArchive, project.path, errorText(testkit::DeviceFailure))});
    EXPECT_TRUE(readDiskFile(oldArchive) == archiveBefore) << "still whole";
    ASSERT_TRUE(testkit::readArchiveFile(newArchive));
    EXPECT_EQ(testkit::readArchiveFile(newArchive)->headerText, " " + project.path + ",*.txt;*.md");

    // Without a failure the old name goes, also when no file changed.
    setDiskFileTime(oldArchive, ArchiveTime);
    std::filesystem::remove(newArchive);
    writeDiskFile(ann.folder / "a.txt", mediumA);
    setDiskFileTime(ann.folder / "a.txt", M);
    ann.prompt.clear();
    const ProjectResult result =
        synchronizeProject(ann.context(), inputs, ann.lastSync, ann.counters, ann.prompt, {});
    EXPECT_EQ(result.end, ProjectEnd::Synchronized);
    EXPECT_EQ(result.archivePath, newArchive);
    EXPECT_FALSE(exists(oldArchive));
    EXPECT_TRUE(testkit::readArchiveFile(newArchive));
}

// Writing a file from the medium onto a full disk keeps the previous version and its
// older .old, and stops before the medium is written.
TEST_F(FailureTest, FullDiskKeepsThePreviousVersion) {
    setDiskFileTime(ann.folder / "a.txt", Older);
    const std::string previous = readDiskFile(ann.folder / "a.txt");
    writeDiskFile(ann.folder / "a.txt.old", "older backup");
    {
        FaultPlatform faults;
        faults.failWritesAfter(3, ".ferry-new", testkit::NoRoom);
        EXPECT_EQ(sync(faults).end, ProjectEnd::Stopped);
    }
    EXPECT_EQ(ann.prompt.messages, std::vector<std::string>{cannotWriteFileMessage(
                                       ann.folder / "a.txt", errorText(testkit::NoRoom))});
    EXPECT_TRUE(readDiskFile(ann.folder / "a.txt") == previous);
    EXPECT_EQ(diskFileTime(ann.folder / "a.txt"), Older);
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt.old"), "older backup");
    EXPECT_FALSE(exists(ann.folder / "a.txt.ferry-new"));
    expectArchiveAsBefore();
}

// A replaced file keeps the permission bits of the version it replaces.
TEST_F(FailureTest, ReplacedFileKeepsItsPermissions) {
    setDiskFileTime(ann.folder / "a.txt", Older);
    ASSERT_EQ(chmod((ann.folder / "a.txt").c_str(), 0640), 0);
    EXPECT_EQ(sync().end, ProjectEnd::Synchronized);
    EXPECT_TRUE(readDiskFile(ann.folder / "a.txt") == mediumA);
    struct stat st {};
    ASSERT_EQ(stat((ann.folder / "a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

struct StopRow {
    std::string name;
    std::function<void(FailureTest&, FaultPlatform&)> stage;
    std::function<std::string(FailureTest&)> message;
};

// Failures on the local disk stop the project with a message, before the medium is
// written.
TEST_F(FailureTest, LocalFailuresStopWithAMessage) {
    const std::vector<StopRow> rows = {
        {"a newer file that cannot be opened",
         [](FailureTest& t, FaultPlatform& f) {
             f.failCall(Call::OpenFile, t.ann.folder / "a.txt");
         },
         [](FailureTest& t) { return cannotOpenFileMessage(t.ann.folder / "a.txt"); }},
        {"a new file that cannot be opened",
         [](FailureTest& t, FaultPlatform& f) {
             writeDiskFile(t.ann.folder / "new.txt", "n");
             f.failCall(Call::OpenFile, "new.txt");
         },
         [](FailureTest& t) { return cannotOpenFileMessage(t.ann.folder / "new.txt"); }},
        {"a file that fails while it is read",
         [](FailureTest& t, FaultPlatform& f) {
             f.failCall(Call::ReadFile, t.ann.folder / "a.txt", testkit::DeviceFailure);
         },
         [](FailureTest& t) {
             return cannotReadFileMessage(t.ann.folder / "a.txt",
                                          errorText(testkit::DeviceFailure));
         }},
        {"a folder that cannot be listed",
         [](FailureTest& t, FaultPlatform& f) {
             f.failCall(Call::OpenFolder, t.ann.folder.path(), testkit::AccessDenied);
         },
         [](FailureTest& t) {
             return listingFailedMessage(t.ann.folder.path(), errorText(testkit::AccessDenied));
         }},
        {"something else where a file from the medium goes",
         [](FailureTest& t, FaultPlatform&) {
             std::filesystem::remove(t.ann.folder / "a.txt");
             std::filesystem::create_symlink(t.ann.folder / "nowhere", t.ann.folder / "a.txt");
         },
         [](FailureTest& t) { return pathTakenMessage(t.ann.folder / "a.txt"); }},
        {"a file of 4 GiB",
         [](FailureTest& t, FaultPlatform&) {
             writeDiskFile(t.ann.folder / "huge.txt", "");
             std::filesystem::resize_file(t.ann.folder / "huge.txt", 0x100000000);
         },
         [](FailureTest& t) { return fileTooLargeMessage(t.ann.folder / "huge.txt"); }},
    };
    for (const StopRow& row : rows) {
        SCOPED_TRACE(row.name);
        FailureTest& t = *this;
        for (const char* name : {"new.txt", "huge.txt", "a.txt"}) {
            std::error_code ignored;
            std::filesystem::remove(ann.folder / name, ignored);
        }
        stage();
        {
            FaultPlatform faults;
            row.stage(t, faults);
            EXPECT_EQ(sync(faults).end, ProjectEnd::Stopped);
        }
        EXPECT_EQ(ann.prompt.messages, std::vector<std::string>{row.message(t)});
        EXPECT_TRUE(readDiskFile(archive()) == archiveBefore) << "the same bytes";
        EXPECT_EQ(ann.lastSync, lastSyncBefore);
    }
}

// A file as old as its record is only compared by time, never opened: one that could
// not be opened (read-only, locked) does not stop the project.
TEST_F(FailureTest, FileAsOldAsItsRecordIsNotOpened) {
    setDiskFileTime(ann.folder / "a.txt", M);
    {
        FaultPlatform faults;
        faults.failCall(Call::OpenFile, ann.folder / "a.txt", testkit::AccessDenied);
        EXPECT_EQ(sync(faults).end, ProjectEnd::Synchronized);
    }
    EXPECT_TRUE(ann.prompt.messages.empty());
    EXPECT_TRUE(readDiskFile(archive()) == archiveBefore) << "nothing to write";
}

// A listed file that is gone when its turn comes is not found: nothing is added for it.
TEST_F(FailureTest, VanishedFileIsNotFound) {
    writeDiskFile(ann.folder / "gone.txt", "g");
    {
        FaultPlatform faults;
        faults.failCall(Call::OpenFile, "gone.txt", testkit::NoSuchFile);
        EXPECT_EQ(sync(faults).end, ProjectEnd::Synchronized);
    }
    EXPECT_TRUE(ann.prompt.messages.empty());
    const auto content = testkit::readArchiveFile(archive());
    ASSERT_TRUE(content);
    ASSERT_EQ(content->records.size(), 1u);
    EXPECT_EQ(content->records[0].name, project.path + "a.txt");
}

}  // namespace
}  // namespace ferry
