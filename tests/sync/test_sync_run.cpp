#include "sync/sync_run.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "archive/media_archive.h"
#include "platform/files.h"
#include "settings/registry.h"
#include "settings/settings_store.h"
#include "support/paths.h"
#include "sync/new_project.h"
#include "sync/run_lock.h"
#include "sync/sync_messages.h"
#include "tests/sync/sync_testkit.h"
#include "tests/testkit/config_home.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::diskTreeSnapshot;
using testkit::readDiskFile;
using testkit::ScriptedPrompt;
using testkit::TempDir;
using testkit::utcFileTime;
using testkit::writeDiskFile;

constexpr DateTime OneSecond = 1.0 / 86400;

// Each decision as a line that tells it and its file.
std::vector<std::string> described(const std::vector<FileDecisionNote>& notes) {
    static const char* const names[] = {"ReplaceOnMedium", "ReplaceOnDisk",  "CreateOnDisk",
                                        "AddToMedium",     "DropFromMedium", "Keep",
                                        "Question"};
    std::vector<std::string> lines;
    for (const FileDecisionNote& note : notes) {
        lines.push_back(names[static_cast<int>(note.decision)] + std::string(" ") + note.localPath);
    }
    return lines;
}

void writeFileAt(const std::string& path, const std::string& content, FileTime time) {
    writeDiskFile(path, content);
    testkit::setDiskFileTime(path, time);
}

DateTime fileDateTime(const std::string& path) {
    DateTime value = 0;
    fileTimeToDateTime(systemPlatform(), testkit::diskFileTime(path), value);
    return value;
}

void expectCounts(const SyncCounters& counters, std::uint32_t replacedOnMedia,
                  std::uint32_t replacedInProjects, std::uint32_t addedToProjects,
                  std::uint32_t addedNewFiles, std::uint32_t removedFromMedia) {
    EXPECT_EQ(counters.replacedOnMedia, replacedOnMedia);
    EXPECT_EQ(counters.replacedInProjects, replacedInProjects);
    EXPECT_EQ(counters.addedToProjects, addedToProjects);
    EXPECT_EQ(counters.addedNewFiles, addedNewFiles);
    EXPECT_EQ(counters.removedFromMedia, removedFromMedia);
}

// The catalogue as the next start of this machine loads it: the keys, and for the entry
// of `key` its work directory and time of last synchronization.
void expectStored(const std::vector<std::string>& keys, const std::string& key,
                  const std::string& workDir, DateTime lastSync) {
    const LoadedSettings settings = loadSettings();
    std::vector<std::string> stored;
    for (std::int32_t i = 0; i < settings.catalogue.count(); ++i) {
        stored.push_back(settings.catalogue.key(i));
    }
    EXPECT_EQ(stored, keys);
    const std::int32_t entry = settings.catalogue.indexOf(key);
    ASSERT_GE(entry, 0);
    EXPECT_EQ(settings.catalogue.record(entry)->workDir, workDir);
    // Kept in whole seconds.
    EXPECT_LE(settings.catalogue.record(entry)->lastSync, lastSync);
    EXPECT_GT(settings.catalogue.record(entry)->lastSync, lastSync - OneSecond);
}

class SyncRunTest : public ::testing::Test {
  protected:
    // A project folder on this machine's disk, ending in "/".
    std::string project(const std::string& name) const { return disk + name + "/"; }
    std::string archiveOf(const std::string& path, const std::string& mask, bool subfolders) const {
        return mediaArchivePath(medium, mediaFileName(path, mask, subfolders));
    }
    // The projects the user adds, listed as Add Project lists them.
    std::vector<ListedProject> added(const std::vector<ListedProject>& projects) const {
        std::vector<ListedProject> listed;
        for (const ListedProject& p : projects) addListedProject(listed, medium, p);
        return listed;
    }
    // A Synchronize click after a start: the settings loaded, the medium scanned, the run.
    RunResult synchronize(ScriptedPrompt& prompt) const {
        LoadedSettings settings = loadSettings();
        MediumScan scan = scanMedium(systemPlatform(), medium, prompt);
        return runSynchronization(context(), medium, scan.projects, settings.catalogue, prompt, {});
    }
    // A preview of a run, then the run. The preview changes nothing on disk, on the medium,
    // in the store, in the program's catalogue or in its list, and reports the decisions,
    // messages and counts of the run. The run's decisions go to `decisions`.
    RunResult previewThenRun(std::vector<ListedProject>& listed,
                             std::vector<std::string>& decisions) const {
        LoadedSettings settings = loadSettings();  // what the program holds after its start
        std::vector<ListedProject> previewList = listed;
        const std::string disksBefore = diskTreeSnapshot(root.path());
        const std::string storeBefore = diskTreeSnapshot(home.dir().path());
        ScriptedPrompt preview;
        const RunResult seen =
            runSynchronization(context(), medium, previewList, settings.catalogue, preview,
                               SyncOptions{true, ConflictAnswer::No});
        EXPECT_EQ(diskTreeSnapshot(root.path()), disksBefore) << "disk and medium";
        EXPECT_EQ(diskTreeSnapshot(home.dir().path()), storeBefore) << "settings store";
        const LoadedSettings stored = loadSettings();
        EXPECT_EQ(settings.catalogue.count(), stored.catalogue.count());
        for (std::int32_t i = 0; i < stored.catalogue.count(); ++i) {
            EXPECT_EQ(settings.catalogue.key(i), stored.catalogue.key(i));
            EXPECT_EQ(settings.catalogue.record(i)->lastSync, stored.catalogue.record(i)->lastSync);
        }
        for (std::size_t i = 0; i < listed.size(); ++i) {
            EXPECT_EQ(previewList[i].key, listed[i].key);
        }

        ScriptedPrompt real;
        const RunResult done = run(listed, real);
        EXPECT_EQ(seen.end, done.end);
        EXPECT_EQ(seen.refusedProjects, done.refusedProjects);
        decisions = described(real.decisions);
        EXPECT_EQ(described(preview.decisions), decisions);
        EXPECT_EQ(preview.messages, real.messages);
        expectCounts(seen.counters, done.counters.replacedOnMedia, done.counters.replacedInProjects,
                     done.counters.addedToProjects, done.counters.addedNewFiles,
                     done.counters.removedFromMedia);
        return done;
    }
    RunResult run(std::vector<ListedProject>& listed, ScriptedPrompt& prompt,
                  const SyncOptions& options = {}, Platform& system = systemPlatform()) const {
        LoadedSettings settings = loadSettings();
        return runSynchronization(context(system), medium, listed, settings.catalogue, prompt,
                                  options);
    }
    // What the front ends hand the engine: the system and the settings folder of the
    // config home in force.
    static RunContext context(Platform& system = systemPlatform()) {
        return {system, settingsFolder()};
    }

    testkit::TempConfigHome home;  // this machine's settings store
    TempDir root;
    std::string disk = root / "disk/";
    std::string medium = root / "STICK/";

    void SetUp() override {
        std::filesystem::create_directories(disk);
        std::filesystem::create_directories(medium);
    }
};

TEST_F(SyncRunTest, AProjectTravelsToAMachineThatNeverHadIt) {
    const std::string proj = project("proj");
    writeDiskFile(proj + "a.pas", "program a;");
    writeDiskFile(proj + "notes.txt", "notes");
    writeDiskFile(proj + "src/b.pas", "unit b;");
    writeDiskFile(proj + "skip.bak", "not carried");
    const std::string key = archiveOf(proj, "*.pas;*.txt", true);

    // Added since the last scan: the first run writes its archive under its listed key.
    std::vector<ListedProject> listed = added({{proj, "*.pas;*.txt", true, ""}});
    ASSERT_EQ(listed[0].key, key);
    ScriptedPrompt prompt;
    const RunResult first = run(listed, prompt);
    EXPECT_EQ(first.end, RunEnd::Completed);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(syncReportText(medium, first.counters),
              "Done (Media: " + medium +
                  ")\r\n0 - Replaced on Media\r\n0 - Replaced in projects\r\n"
                  "0 - Added to projects\r\n3 - Added new files to prjects\r\n"
                  "0 - Removed from Media");
    ASSERT_TRUE(fileExists(systemPlatform(), key));
    expectStored({key}, key, "", fileDateTime(key));

    // The next scan lists it under the same key; nothing changed since.
    const MediumScan scan = scanMedium(systemPlatform(), medium, prompt);
    ASSERT_EQ(scan.projects.size(), 1u) << "the lock file is no archive";
    EXPECT_EQ(scan.projects[0].key, key);
    EXPECT_EQ(scan.projects[0].path, proj);
    EXPECT_EQ(scan.projects[0].mask, "*.pas;*.txt");
    EXPECT_TRUE(scan.projects[0].includeSubfolders);

    // Another machine, with its own settings and without the project's folder.
    const testkit::TempConfigHome otherMachine;
    std::filesystem::remove_all(proj);
    const std::string archiveBytes = readDiskFile(key);
    // An archive could name any folder: nothing is written until the user accepts it.
    ScriptedPrompt waiting;  // Esc: not accepted
    const RunResult skipped = synchronize(waiting);
    EXPECT_EQ(skipped.waitingProjects, 1);
    EXPECT_EQ(waiting.questions, std::vector<std::string>{newProjectQuestion(proj)});
    EXPECT_EQ(waiting.messages, std::vector<std::string>{newProjectWaitingMessage(proj)});
    EXPECT_FALSE(std::filesystem::exists(proj));
    ScriptedPrompt there;
    there.answers = {1};
    const RunResult arrived = synchronize(there);
    EXPECT_EQ(arrived.end, RunEnd::Completed);
    EXPECT_TRUE(there.messages.empty());
    EXPECT_EQ(there.questions, std::vector<std::string>{newProjectQuestion(proj)});
    expectCounts(arrived.counters, 0, 0, 3, 0, 0);
    EXPECT_EQ(readDiskFile(proj + "a.pas"), "program a;");
    EXPECT_EQ(readDiskFile(proj + "notes.txt"), "notes");
    EXPECT_EQ(readDiskFile(proj + "src/b.pas"), "unit b;");
    EXPECT_FALSE(fileExists(systemPlatform(), proj + "skip.bak"));
    EXPECT_EQ(readDiskFile(key), archiveBytes) << "only its time changes";
    expectStored({key}, key, "", fileDateTime(key));
}

TEST_F(SyncRunTest, AProjectThatStopsEndsTheRunWithoutAReport) {
    std::vector<ListedProject> projects;
    for (const char* name : {"one", "two", "three"}) {
        writeDiskFile(project(name) + "f.txt", name);
        projects.push_back({project(name), "*", false, ""});
    }
    std::vector<ListedProject> listed = added(projects);
    testkit::FaultPlatform faults;
    faults.failCall(testkit::Call::OpenFile, project("two") + "f.txt");
    ScriptedPrompt prompt;
    const RunResult result = run(listed, prompt, {}, faults);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_EQ(prompt.messages,
              std::vector<std::string>{"Can not open file " + project("two") + "f.txt"});
    EXPECT_TRUE(fileExists(systemPlatform(), listed[0].key));
    EXPECT_FALSE(fileExists(systemPlatform(), listed[1].key));
    EXPECT_FALSE(fileExists(systemPlatform(), listed[2].key)) << "the third project is not taken";
    expectStored({listed[0].key}, listed[0].key, "", fileDateTime(listed[0].key));
}

TEST_F(SyncRunTest, ADamagedArchiveIsRefusedAndTheRunGoesOn) {
    std::vector<ListedProject> projects;
    for (const char* name : {"one", "two", "three"}) {
        writeFileAt(project(name) + "f.txt", name, utcFileTime(2024, 1, 1));
        projects.push_back({project(name), "*", false, ""});
    }
    std::vector<ListedProject> listed = added(projects);
    ScriptedPrompt prompt;
    ASSERT_EQ(run(listed, prompt).end, RunEnd::Completed);

    // The middle archive ends inside its payload; the third project changed on disk.
    const std::string damaged = readDiskFile(listed[1].key);
    writeDiskFile(listed[1].key, damaged.substr(0, damaged.size() - 3));
    const FileTime cutTime = testkit::diskFileTime(listed[1].key);
    writeFileAt(project("three") + "f.txt", "three, edited", utcFileTime(2024, 2, 1));

    for (int round = 0; round < 2; ++round) {
        ScriptedPrompt again;
        const RunResult result = run(listed, again);
        EXPECT_EQ(result.end, RunEnd::Completed);
        EXPECT_EQ(result.refusedProjects, 1);
        expectCounts(result.counters, round == 0 ? 1 : 0, 0, 0, 0, 0);
        ASSERT_EQ(again.messages.size(), 1u);
        EXPECT_NE(again.messages[0].find(listed[1].key), std::string::npos) << again.messages[0];
        EXPECT_EQ(readDiskFile(listed[1].key), damaged.substr(0, damaged.size() - 3));
        EXPECT_EQ(testkit::diskFileTime(listed[1].key).ticks, cutTime.ticks);
        EXPECT_EQ(readDiskFile(project("two") + "f.txt"), "two");
    }
}

TEST_F(SyncRunTest, WithoutAMediumNothingIsMadeAndTheReportSaysSo) {
    const TempDir current;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(current.path());
    // A project added while no medium was chosen would have its archive in "Ferry/" here.
    writeDiskFile(project("one") + "f.txt", "one");
    std::vector<ListedProject> listed;
    addListedProject(listed, "", {project("one"), "*", false, ""});
    Catalogue catalogue;
    ScriptedPrompt prompt;
    const RunResult result = runSynchronization(context(), "", listed, catalogue, prompt, {});
    std::filesystem::current_path(previous);
    EXPECT_EQ(result.end, RunEnd::Completed);
    EXPECT_EQ(result.refusedProjects, 1);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"No medium is chosen: the project " +
                                                        project("one") + " was not synchronized"});
    EXPECT_EQ(syncReportText("", result.counters),
              "Done (Media: )\r\n0 - Replaced on Media\r\n0 - Replaced in projects\r\n"
              "0 - Added to projects\r\n0 - Added new files to prjects\r\n"
              "0 - Removed from Media");
    EXPECT_EQ(diskTreeSnapshot(current.path()), "") << "no Ferry/ made here";
}

TEST_F(SyncRunTest, AMediumThatGoesAwayStopsTheRun) {
    // The first project's archive is damaged; while its refusal is shown the medium is
    // pulled.
    writeDiskFile(project("one") + "f.txt", "one");
    writeDiskFile(project("two") + "f.txt", "two");
    std::vector<ListedProject> listed =
        added({{project("one"), "*", false, ""}, {project("two"), "*", false, ""}});
    writeDiskFile(listed[0].key,
                  std::string(" ") + project("one") + ",*" + '\0' + "12345678" + "not a payload");
    const std::string pulled = root / "pulled";
    ScriptedPrompt prompt;
    prompt.afterMessage = [&] {
        if (prompt.messages.size() == 1) std::filesystem::rename(medium, pulled);
    };
    const RunResult result = run(listed, prompt);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1],
              "The medium " + medium + " is not there any more; the synchronization stopped");
    EXPECT_FALSE(std::filesystem::exists(medium)) << "nothing made in its place";
    EXPECT_FALSE(std::filesystem::exists(pulled + "/Ferry/" + fileNameOf(listed[1].key)));
}

TEST_F(SyncRunTest, APreviewDecidesAsTheRunThenDoesAndChangesNothing) {
    // Two projects share a folder (its Pascal sources, and all of it); a third has a
    // folder of its own with the same files.
    const std::string shared = project("shared");
    const std::string solo = project("solo");
    for (const std::string& folder : {shared, solo}) {
        writeFileAt(folder + "a.pas", "v1", utcFileTime(2024, 1, 1));
        writeFileAt(folder + "a.pas.old", "v0", utcFileTime(2023, 12, 1));
    }
    writeFileAt(shared + "b.txt", "b", utcFileTime(2024, 1, 1));
    std::vector<ListedProject> listed =
        added({{shared, "*.pas", false, ""}, {shared, "*", false, ""}, {solo, "*", false, ""}});
    // A fresh medium and a machine that never ran: not even Ferry/ or a lock file is made.
    std::vector<std::string> decisions;
    expectCounts(previewThenRun(listed, decisions).counters, 0, 0, 0, 6, 0);
    // a.pas edited here reaches every archive; then this disk gets an older a.pas back,
    // as another machine that missed the edit has it.
    for (const std::string& folder : {shared, solo}) {
        writeFileAt(folder + "a.pas", "v2", utcFileTime(2024, 2, 1));
    }
    ScriptedPrompt prompt;
    ASSERT_EQ(run(listed, prompt).counters.replacedOnMedia, 3u);
    for (const std::string& folder : {shared, solo}) {
        writeFileAt(folder + "a.pas", "v1", utcFileTime(2024, 1, 1));
    }

    // Each project puts the medium's a.pas back, the disk's going to a.pas.old, which a
    // record a.pas.old then meets. In the shared folder the second project finds a.pas
    // current and sends that a.pas.old to the medium.
    EXPECT_EQ(previewThenRun(listed, decisions).counters.replacedInProjects, 2u);
    const auto taken = [&](const std::string& decision) {
        return std::count(decisions.begin(), decisions.end(), decision);
    };
    EXPECT_EQ(taken("ReplaceOnDisk " + shared + "a.pas"), 1);
    EXPECT_EQ(taken("Keep " + shared + "a.pas"), 1);
    EXPECT_EQ(taken("ReplaceOnMedium " + shared + "a.pas.old"), 1);
    EXPECT_EQ(taken("ReplaceOnDisk " + solo + "a.pas"), 1);
    for (const std::string& folder : {shared, solo}) {
        EXPECT_EQ(readDiskFile(folder + "a.pas"), "v2");
        EXPECT_EQ(readDiskFile(folder + "a.pas.old"), "v1");
    }
}

TEST_F(SyncRunTest, ARecordFollowsItsArchiveToANewNameAndANewMountPoint) {
    // The project is carried as another machine's path; here it lives in a work directory.
    const std::string work = project("work");
    const std::string carried = root / "elsewhere/proj/";
    writeDiskFile(work + "a.pas", "a");
    writeDiskFile(work + "b.txt", "b");
    std::vector<ListedProject> listed = added({{carried, "*.pas", false, ""}});
    LoadedSettings settings = loadSettings();
    settings.catalogue.findOrCreateRecord(listed[0].key).workDir = work;
    saveProjects(settings.catalogue, nullptr);
    ScriptedPrompt prompt;
    ASSERT_EQ(runSynchronization(context(), medium, listed, settings.catalogue, prompt, {}).end,
              RunEnd::Completed);
    const std::string oldKey = listed[0].key;

    // Edit Project Mask: the archive takes a new name, and the record goes with it.
    listed[0].mask = "*.pas;*.txt";
    const std::string newKey = archiveOf(carried, "*.pas;*.txt", false);
    const RunResult edited =
        runSynchronization(context(), medium, listed, settings.catalogue, prompt, {});
    EXPECT_EQ(edited.end, RunEnd::Completed);
    expectCounts(edited.counters, 0, 0, 0, 1, 0);
    EXPECT_EQ(listed[0].key, newKey);
    EXPECT_FALSE(fileExists(systemPlatform(), oldKey));
    EXPECT_EQ(settings.catalogue.count(), 1);
    EXPECT_EQ(settings.catalogue.key(0), newKey);
    expectStored({newKey}, newKey, work, fileDateTime(newKey));

    // The medium mounted elsewhere: the only record of that archive name is the project's.
    const std::string remounted = root / "STICK1/";
    std::filesystem::rename(medium, remounted);
    const std::string movedKey = remounted + "Ferry/" + fileNameOf(newKey);
    LoadedSettings restarted = loadSettings();
    MediumScan scan = scanMedium(systemPlatform(), remounted, prompt);
    ASSERT_EQ(scan.projects.size(), 1u);
    ASSERT_EQ(scan.projects[0].key, movedKey);
    const RunResult there =
        runSynchronization(context(), remounted, scan.projects, restarted.catalogue, prompt, {});
    EXPECT_EQ(there.end, RunEnd::Completed);
    expectCounts(there.counters, 0, 0, 0, 0, 0);
    EXPECT_FALSE(std::filesystem::exists(root / "elsewhere")) << "the work directory was used";
    expectStored({movedKey}, movedKey, work, fileDateTime(movedKey));
    EXPECT_TRUE(prompt.messages.empty());

    // A copy of the medium beside it is another medium: its project gets a record of its
    // own, and the work directory stays with the first.
    const std::string copy = root / "COPY/";
    std::filesystem::copy(remounted, copy, std::filesystem::copy_options::recursive);
    const std::string copyKey = copy + "Ferry/" + fileNameOf(newKey);
    LoadedSettings again = loadSettings();
    scan = scanMedium(systemPlatform(), copy, prompt);
    prompt.answers = {1};  // new to this machine: created where it says
    const RunResult onCopy =
        runSynchronization(context(), copy, scan.projects, again.catalogue, prompt, {});
    EXPECT_EQ(onCopy.end, RunEnd::Completed);
    EXPECT_EQ(prompt.questions, std::vector<std::string>{newProjectQuestion(carried)});
    expectCounts(onCopy.counters, 0, 0, 2, 0, 0);
    expectStored({movedKey, copyKey}, movedKey, work, fileDateTime(movedKey));
    expectStored({movedKey, copyKey}, copyKey, "", fileDateTime(copyKey));

    // The first medium reached through a link while its own path is still there: the very
    // same archive, so the work directory is used, and nothing is asked or mixed.
    std::filesystem::remove_all(root / "elsewhere");
    const std::string linked = root / "LINK/";
    std::filesystem::create_directory_symlink(remounted, root / "LINK");
    writeDiskFile(work + "c.txt", "c");
    LoadedSettings third = loadSettings();
    scan = scanMedium(systemPlatform(), linked, prompt);
    prompt.clear();
    const RunResult viaLink =
        runSynchronization(context(), linked, scan.projects, third.catalogue, prompt, {});
    EXPECT_EQ(viaLink.end, RunEnd::Completed);
    EXPECT_TRUE(prompt.questions.empty());
    expectCounts(viaLink.counters, 0, 0, 0, 1, 0);
    EXPECT_FALSE(std::filesystem::exists(root / "elsewhere")) << "the work directory was used";
}

TEST_F(SyncRunTest, OneRunAtATimePerUserAndPerMedium) {
    writeDiskFile(project("p") + "f.txt", "p");
    const std::string otherMedium = root / "OTHER/";
    std::filesystem::create_directories(otherMedium);

    // Another process of this user runs on this medium.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        const RunLock lock = acquireRunLock(context(), medium);
        const char held = lock.held() ? 'y' : 'n';
        if (::write(ready[1], &held, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');

    std::vector<ListedProject> listed = added({{project("p"), "*", false, ""}});
    for (const bool preview : {false, true}) {
        ScriptedPrompt prompt;
        const RunResult busy = run(listed, prompt, SyncOptions{preview, ConflictAnswer::No});
        EXPECT_EQ(busy.end, RunEnd::Busy);
        EXPECT_EQ(prompt.messages, std::vector<std::string>{"Another synchronization is in "
                                                            "progress; try again when it has "
                                                            "ended"});
        EXPECT_TRUE(prompt.decisions.empty());
        EXPECT_FALSE(fileExists(systemPlatform(), listed[0].key));
    }
    EXPECT_FALSE(acquireRunLock(context(), otherMedium).held()) << "this user's lock";
    {
        const testkit::TempConfigHome otherUser;
        EXPECT_FALSE(acquireRunLock(context(), medium).held()) << "this medium's lock";
        EXPECT_TRUE(acquireRunLock(context(), otherMedium).held());
    }

    // The system drops a dead run's locks.
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    ScriptedPrompt prompt;
    EXPECT_EQ(run(listed, prompt).end, RunEnd::Completed);
    EXPECT_TRUE(fileExists(systemPlatform(), listed[0].key));

    // A lock that cannot be taken at all (a read-only medium, a file system without
    // locks) keeps no run from starting.
    testkit::FaultPlatform noLocks;
    noLocks.failCall(testkit::Call::LockFile, "", testkit::ReadOnlyMedium);
    EXPECT_TRUE(acquireRunLock(context(noLocks), medium).held());
}

// Windows left open while the command line works: each project's record is read from the
// store when the project starts. One window opened before the command line gave the
// project a work directory, the other after that but before it synchronized the project.
TEST_F(SyncRunTest, AWindowLeftOpenRunsWithWhatTheCommandLineStored) {
    const std::string proj = project("proj");
    writeDiskFile(proj + "a.txt", "from another machine");
    std::vector<ListedProject> listed = added({{proj, "*", false, ""}});
    {
        const testkit::TempConfigHome otherMachine;
        ScriptedPrompt prompt;
        ASSERT_EQ(run(listed, prompt).end, RunEnd::Completed);
    }
    std::filesystem::remove_all(proj);
    const auto commandLine = [&](const std::function<void(Catalogue&)>& change) {
        LoadedSettings settings = loadSettings();
        change(settings.catalogue);
        saveProjects(settings.catalogue, nullptr);
    };
    const std::string work = project("work");
    std::filesystem::create_directories(work);

    LoadedSettings firstWindow = loadSettings();
    commandLine([&](Catalogue& c) { c.findOrCreateRecord(listed[0].key).workDir = work; });
    LoadedSettings secondWindow = loadSettings();
    ScriptedPrompt prompt;
    ASSERT_EQ(run(listed, prompt).end, RunEnd::Completed);
    ASSERT_EQ(readDiskFile(work + "a.txt"), "from another machine");
    writeDiskFile(work + "b.txt", "new here");

    for (LoadedSettings* window : {&secondWindow, &firstWindow}) {
        ScriptedPrompt shown;
        std::vector<ListedProject> projects = listed;
        const RunResult result =
            runSynchronization(context(), medium, projects, window->catalogue, shown, {});
        EXPECT_EQ(result.end, RunEnd::Completed);
        EXPECT_TRUE(shown.questions.empty());
        EXPECT_TRUE(shown.messages.empty());
        expectCounts(result.counters, 0, 0, 0, window == &secondWindow ? 1 : 0, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(proj));
    EXPECT_EQ(testkit::readArchiveFile(listed[0].key)->records.size(), 2U);
    expectStored({listed[0].key}, listed[0].key, work, fileDateTime(listed[0].key));
}

}  // namespace
}  // namespace ferry
