#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/date_time.h"
#include "sync/run_lock.h"
#include "sync/sync_messages.h"
#include "sync/sync_run.h"
#include "tests/sync/sync_testkit.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

using testkit::TempDir;
using testkit::writeDiskFile;

constexpr DateTime OneSecond = 1.0 / 86400;

// An archive with no records, as another machine wrote it.
std::string archiveBytes(const std::string& headerText, DateTime stamp) {
    return testkit::archiveBytes(headerText, {}, stamp);
}

std::vector<ListedProject> byKey(std::vector<ListedProject> projects) {
    std::sort(projects.begin(), projects.end(),
              [](const ListedProject& a, const ListedProject& b) { return a.key < b.key; });
    return projects;
}

void expectListed(const ListedProject& listed, const std::string& path, const std::string& mask,
                  bool subfolders, const std::string& key) {
    EXPECT_EQ(listed.path, path);
    EXPECT_EQ(listed.mask, mask);
    EXPECT_EQ(listed.includeSubfolders, subfolders);
    EXPECT_EQ(listed.key, key);
}

TEST(MediumFolderOf, AnExistingFolderEndingInItsSeparator) {
    const TempDir root;
    writeDiskFile(root / "file", "x");
    const std::string folder = root / "stick";
    std::filesystem::create_directory(folder);
    const struct {
        std::string text;
        std::string folder;
    } cases[] = {
        {folder, folder + "/"},
        {folder + "/", folder + "/"},
        {root / "missing", ""},
        {root / "file", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mediumFolderOf(systemPlatform(), c.text), c.folder) << c.text;
}

TEST(MediumScan, ListsEveryArchiveThatNamesAProjectAndNothingElse) {
    const TempDir medium;
    const std::string ferry = medium / "Ferry/";
    const DateTime past = now(systemPlatform()) - 1;
    writeDiskFile(ferry + "b.move", archiveBytes(" /home/ann/proj/,*.pas", past));
    writeDiskFile(ferry + "c.move", archiveBytes(" /home/ann/proj/,*.pas", past));
    writeDiskFile(ferry + "d.move", archiveBytes("+ C:\\Work\\Proj\\ ", past));
    writeDiskFile(ferry + "e.move", archiveBytes("+/home/ann/x/, *.c, *.h ", past));
    writeDiskFile(ferry + "empty.move", archiveBytes("", past));
    writeDiskFile(ferry + "flag.move", archiveBytes("+", past));
    writeDiskFile(ferry + "cut.move", " /home/ann/cut/,*" + std::string(1, '\0') + "1234");
    writeDiskFile(ferry + "nothing.move", "");
    writeDiskFile(ferry + "long.move", archiveBytes(" /" + std::string(40000, 'x') + "/,*", past));
    writeDiskFile(ferry + "nan.move", archiveBytes(" /home/ann/nan/,*", std::nan("")));
    writeDiskFile(ferry + "other.txt", archiveBytes(" /home/ann/txt/,*", past));
    writeDiskFile(ferry + "run.lock", "");
    writeDiskFile(ferry + "folder.move/inside.move", archiveBytes(" /home/ann/in/,*", past));
    writeDiskFile(medium / "top.move", archiveBytes(" /home/ann/top/,*", past));

    testkit::ScriptedPrompt prompt;
    const MediumScan scan = scanMedium(systemPlatform(), medium.path(), prompt);
    EXPECT_FALSE(scan.clockRefused);
    EXPECT_TRUE(prompt.messages.empty());
    const auto listed = byKey(scan.projects);
    ASSERT_EQ(listed.size(), 4u);
    expectListed(listed[0], "/home/ann/proj/", "*.pas", false, ferry + "b.move");
    expectListed(listed[1], "/home/ann/proj/", "*.pas", false, ferry + "c.move");
    expectListed(listed[2], "C:\\Work\\Proj\\", "", true, ferry + "d.move");
    expectListed(listed[3], "/home/ann/x/", "*.c, *.h", true, ferry + "e.move");
}

TEST(MediumScan, NoMediumOrNoFerryFolderListsNothing) {
    const TempDir medium;
    testkit::ScriptedPrompt prompt;
    EXPECT_TRUE(scanMedium(systemPlatform(), medium.path(), prompt).projects.empty());

    // The current folder is no medium: with none chosen, its "Ferry/" is not read.
    const TempDir current;
    writeDiskFile(current / "Ferry/a.move",
                  archiveBytes(" /home/ann/a/,*", now(systemPlatform()) - 1));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(current.path());
    const MediumScan scan = scanMedium(systemPlatform(), "", prompt);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(scan.projects.empty());
    EXPECT_TRUE(prompt.messages.empty());
}

// A "Ferry/" folder or an archive this machine may not read is named and counted, so the
// projects it may hold are not missed in silence.
TEST(MediumScan, UnreadableFolderOrArchiveIsNamed) {
    const TempDir medium;
    const std::string ferry = medium / "Ferry/";
    for (const char* name : {"a", "b"}) {
        writeDiskFile(
            ferry + name + ".move",
            archiveBytes(std::string(" /home/ann/") + name + "/,*", now(systemPlatform()) - 1));
    }
    const struct {
        testkit::Call call;
        std::string failing;
        std::size_t listed;
    } cases[] = {{testkit::Call::OpenFolder, ferry, 0},
                 {testkit::Call::OpenFile, ferry + "b.move", 1}};
    for (const auto& c : cases) {
        testkit::FaultPlatform faults;
        faults.failCall(c.call, c.failing);
        testkit::ScriptedPrompt prompt;
        const MediumScan scan = scanMedium(faults, medium.path(), prompt);
        EXPECT_EQ(scan.unreadable, 1);
        EXPECT_EQ(scan.projects.size(), c.listed);
        EXPECT_EQ(prompt.messages, std::vector<std::string>{cannotReadFileMessage(
                                       c.failing, systemErrorText(testkit::AccessDenied))});
    }
}

// A first archive left under its temporary name by a run cut off before the rename is
// put in place when whole (it is the project's only copy) and removed when not; one
// beside its archive, or met while another run holds the medium, is left alone.
TEST(MediumScan, CutFirstWriteIsFinishedOrRemoved) {
    const DateTime past = now(systemPlatform()) - 1;
    const std::string whole = testkit::archiveBytes(
        " /home/ann/p/,*", {{"/home/ann/p/a.txt", 1, std::string(5000, 'a')}}, past);
    const std::string cut = whole.substr(0, whole.size() - 3);
    const std::string other = archiveBytes(" /home/ann/p/,*", past);
    const struct {
        std::string name;
        std::string temporary;
        std::string archive;  // "" for none
        bool lockedElsewhere;
        std::string archiveAfter;  // "" for none
        bool temporaryKept;
    } cases[] = {
        {"whole", whole, "", false, whole, false},
        {"cut short", cut, "", false, "", false},
        {"beside its archive", cut, other, false, other, true},
        {"another run holds the medium", whole, "", true, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir medium;
        const std::string archive = medium / "Ferry/p.move";
        const std::string temporary = archive + ".new";
        writeDiskFile(temporary, c.temporary);
        if (!c.archive.empty()) writeDiskFile(archive, c.archive);
        const TempDir otherUser;
        const RunLock held = acquireRunLock({systemPlatform(), otherUser / ""},
                                            c.lockedElsewhere ? medium.path() : std::string());
        testkit::ScriptedPrompt prompt;
        const MediumScan scan = scanMedium(systemPlatform(), medium.path(), prompt);

        EXPECT_EQ(std::filesystem::exists(temporary), c.temporaryKept);
        EXPECT_EQ(std::filesystem::exists(archive), !c.archiveAfter.empty());
        EXPECT_TRUE(c.archiveAfter.empty() || testkit::readDiskFile(archive) == c.archiveAfter);
        EXPECT_EQ(scan.projects.size(), c.archiveAfter.empty() ? 0u : 1u);
        std::vector<std::string> messages;
        if (c.name == "whole") messages.push_back(cutArchiveFinishedMessage(temporary));
        if (c.name == "cut short") messages.push_back(cutArchiveRemovedMessage(temporary));
        EXPECT_EQ(prompt.messages, messages);
    }
}

// The clock check compares the UTC time a run left beside the archives with this
// machine's UTC clock (two minutes of slack); only without it the archives' local stamps,
// with room for the zones (14 hours). Each archive behind the clock gets its message.
TEST(MediumScan, ClockMustHaveReachedTheMediumsLastWrite) {
    testkit::FaultPlatform fixedClock;
    const FileTime clock = testkit::utcFileTime(2024, 5, 17, 18, 30, 15);
    fixedClock.setClock(clock);
    const DateTime current = now(fixedClock);
    constexpr DateTime Minute = 60 * OneSecond;
    constexpr std::int64_t NoUtcTime = -1;
    const struct {
        DateTime stampAhead;
        std::int64_t utcSecondsAhead;
        bool refused;
    } cases[] = {
        {0, NoUtcTime, false},
        {14 * 60 * Minute - Minute, NoUtcTime, false},  // a writer 14 zones east
        {14 * 60 * Minute + Minute, NoUtcTime, true},
        {20 * 60 * Minute, -60, false},  // the UTC time decides, not the stamp
        {0, 110, false},                 // clocks a little apart
        {0, 3600, true},                 // an hour behind in UTC
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.stampAhead / Minute) + " " +
                     std::to_string(c.utcSecondsAhead));
        const TempDir medium;
        const std::string ferry = medium / "Ferry/";
        writeDiskFile(ferry + "a.move", archiveBytes(" /home/ann/a/,*", current + c.stampAhead));
        writeDiskFile(ferry + "b.move", archiveBytes(" /home/ann/b/,*", current + c.stampAhead));
        DateTime source = current + c.stampAhead;
        if (c.utcSecondsAhead != NoUtcTime) {
            writeDiskFile(ferry + "written.utc",
                          std::to_string(toUnixTime(clock).seconds + c.utcSecondsAhead) + "\n");
            source = current + static_cast<DateTime>(c.utcSecondsAhead) * OneSecond;
        }
        testkit::ScriptedPrompt prompt;
        const MediumScan scan = scanMedium(fixedClock, medium.path(), prompt);
        EXPECT_EQ(scan.clockRefused, c.refused);
        EXPECT_EQ(scan.projects.size(), 2u) << "the scan goes on";
        std::vector<std::string> expected;
        for (const char* project : {"a/", "b/"}) {
            if (c.refused)
                expected.push_back(
                    "Time is not good synchronized with source machine \r\n(source time was " +
                    dateTimeToText(source) + " but current time\r\non this machine is " +
                    dateTimeToText(current) + ")\r\nProject path: /home/ann/" + project);
        }
        std::sort(prompt.messages.begin(), prompt.messages.end());
        EXPECT_EQ(prompt.messages, expected);
    }
}

}  // namespace
}  // namespace ferry
