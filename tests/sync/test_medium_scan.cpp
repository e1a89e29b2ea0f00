#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/date_time.h"
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

TEST(MediumScan, ClockMustBeLaterThanEveryWriteStamp) {
    testkit::FaultPlatform fixedClock;
    fixedClock.setClock(testkit::utcFileTime(2024, 5, 17, 18, 30, 15));
    const DateTime current = now(fixedClock);
    const TempDir medium;
    const std::string ferry = medium / "Ferry/";
    writeDiskFile(ferry + "ahead.move", archiveBytes(" /home/ann/ahead/,*", current + OneSecond));
    writeDiskFile(ferry + "same.move", archiveBytes(" /home/ann/same/,*", current));
    writeDiskFile(ferry + "before.move",
                  archiveBytes(" /home/ann/before/,*", current - OneSecond / 1000));

    testkit::ScriptedPrompt prompt;
    const MediumScan scan = scanMedium(fixedClock, medium.path(), prompt);
    EXPECT_TRUE(scan.clockRefused);
    EXPECT_EQ(scan.projects.size(), 3u) << "the scan goes on";
    const std::string tail = "but current time\r\non this machine is " + dateTimeToText(current) +
                             ")\r\nProject path: /home/ann/";
    std::vector<std::string> expected = {
        "Time is not good synchronized with source machine \r\n(source time was " +
            dateTimeToText(current + OneSecond) + " " + tail + "ahead/",
        "Time is not good synchronized with source machine \r\n(source time was " +
            dateTimeToText(current) + " " + tail + "same/"};
    std::sort(prompt.messages.begin(), prompt.messages.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(prompt.messages, expected);

    std::filesystem::remove(ferry + "ahead.move");
    std::filesystem::remove(ferry + "same.move");
    testkit::ScriptedPrompt calm;
    EXPECT_FALSE(scanMedium(fixedClock, medium.path(), calm).clockRefused);
    EXPECT_TRUE(calm.messages.empty()) << "an archive written a moment ago passes";
}

}  // namespace
}  // namespace ferry
