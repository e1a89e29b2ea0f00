// What only Windows does: drive-letter project paths with "\" in record names, names
// that differ in letter case only naming one file, a file another program holds open,
// paths past 260 characters, and the system's own error codes sorted into kinds.

#include <windows.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "archive/media_archive.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "tests/sync/sync_testkit.h"
#include "tests/testkit/disk_files.h"

namespace ferry {
namespace {

using testkit::ArchiveRecord;
using testkit::diskFileTime;
using testkit::readDiskFile;
using testkit::setDiskFileTime;
using testkit::writeDiskFile;

const FileTime M = testkit::utcFileTime(2024, 1, 1, 10, 0, 0, 250);
const FileTime Older{M.ticks - 10000000ULL * 86400};

// "C:/users/x/Temp/ferry-test-1/" as a Windows user writes it: "C:\users\...\".
std::string windowsForm(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The names a folder lists, as the disk spells them.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct WindowsSync : ::testing::Test {
    testkit::TempDir medium;
    testkit::Machine ann;
    testkit::Machine bob;

    std::string archiveOf(const testkit::ProjectSpec& project) const {
        return testkit::archivePathOf(medium.path(), project);
    }
    void putArchive(const testkit::ProjectSpec& project,
                    const std::vector<ArchiveRecord>& records) {
        const std::string path = archiveOf(project);
        writeDiskFile(
            path,
            testkit::archiveBytes(
                buildHeaderText({project.includeSubfolders, project.path, project.mask}), records));
        setDiskFileTime(path, M);
    }
};

TEST_F(WindowsSync, DriveLetterProjectTravelsWithBackslashNames) {
    const testkit::ProjectSpec project{windowsForm(ann.folder.path()), "*.txt", true};
    ASSERT_EQ(project.path.substr(1, 2), ":\\");
    writeDiskFile(ann.folder / "a.txt", "top");
    writeDiskFile(ann.folder / "src/deep/b.txt", "deep");
    setDiskFileTime(ann.folder / "src/deep/b.txt", M);
    ASSERT_EQ(testkit::synchronizeOn(ann, medium.path(), project, project.path).end,
              ProjectEnd::Synchronized);

    const auto content = testkit::readArchiveFile(archiveOf(project));
    ASSERT_TRUE(content);
    EXPECT_EQ(content->headerText, "+" + project.path + ",*.txt");
    // Oldest first.
    ASSERT_EQ(content->records.size(), 2u);
    EXPECT_EQ(content->records[0],
              (ArchiveRecord{project.path + "src\\deep\\b.txt", M.ticks, "deep"}));
    EXPECT_EQ(content->records[1].name, project.path + "a.txt");

    // Another machine works on it in another folder, given with "\" as well.
    ASSERT_EQ(
        testkit::synchronizeOn(bob, medium.path(), project, windowsForm(bob.folder.path())).end,
        ProjectEnd::Synchronized);
    EXPECT_EQ(readDiskFile(bob.folder / "src/deep/b.txt"), "deep");
    EXPECT_EQ(diskFileTime(bob.folder / "src/deep/b.txt"), M);
}

TEST_F(WindowsSync, NamesDifferingInCaseAreOneFileOnTheDisk) {
    const testkit::ProjectSpec project{windowsForm(ann.folder.path()), "*.txt", false};
    putArchive(project, {{project.path + "A.TXT", M.ticks, "medium"}});
    writeDiskFile(ann.folder / "a.txt", "disk");
    setDiskFileTime(ann.folder / "a.txt", Older);
    ASSERT_EQ(testkit::synchronizeOn(ann, medium.path(), project, project.path).end,
              ProjectEnd::Synchronized);
    // The medium's newer copy replaced the disk's under the disk's own spelling.
    EXPECT_EQ(namesIn(ann.folder.path()), (std::vector<std::string>{"a.txt", "a.txt.old"}));
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt"), "medium");
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt.old"), "disk");
}

TEST_F(WindowsSync, AFileHeldOpenElsewhereIsKeptAndTheRunSaysWhy) {
    const testkit::ProjectSpec project{windowsForm(ann.folder.path()), "*.txt", false};
    putArchive(project, {{project.path + "a.txt", M.ticks, "medium"}});
    writeDiskFile(ann.folder / "a.txt", "disk");
    setDiskFileTime(ann.folder / "a.txt", Older);
    const std::string archiveBefore = readDiskFile(archiveOf(project));

    // Another program has the file open and shares it with nobody.
    const HANDLE held = CreateFileW(std::filesystem::path(ann.folder / "a.txt").wstring().c_str(),
                                    GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    testkit::synchronizeOn(ann, medium.path(), project, project.path);
    CloseHandle(held);

    const std::string text = systemErrorText(SystemError{ERROR_SHARING_VIOLATION});
    ASSERT_FALSE(text.empty());
    ASSERT_EQ(ann.prompt.messages.size(), 1u);
    EXPECT_NE(ann.prompt.messages[0].find(text), std::string::npos) << ann.prompt.messages[0];
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt"), "disk");
    EXPECT_EQ(readDiskFile(archiveOf(project)), archiveBefore);

    // Once it is let go, the next run brings the medium's copy.
    ann.prompt.clear();
    ASSERT_EQ(testkit::synchronizeOn(ann, medium.path(), project, project.path).end,
              ProjectEnd::Synchronized);
    EXPECT_EQ(readDiskFile(ann.folder / "a.txt"), "medium");
}

TEST(WindowsPlatform, PathsPastTheOldLimitWork) {
    Platform& system = systemPlatform();
    const testkit::TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 300) folder += std::string(40, 'f') + "/";
    ASSERT_TRUE(forceFolders(system, folder));
    const std::string name = folder + "file.txt";
    const auto opened = system.openFile(name, FileAccess::Write, FileCreation::CreateNew);
    ASSERT_TRUE(opened);
    EXPECT_EQ(system.writeFile(opened.value, "long", 4).value, 4);
    EXPECT_TRUE(system.setLastWriteTime(opened.value, M));
    EXPECT_TRUE(system.closeFile(opened.value));
    EXPECT_TRUE(system.renameReplace(name, folder + "moved.txt"));
    const PathInfo info = system.pathInfo(folder + "moved.txt");
    EXPECT_TRUE(info.exists);
    EXPECT_EQ(info.lastWrite, M);
    EXPECT_EQ(errorKind(system.renameNoReplace(folder + "moved.txt", folder).error),
              ErrorKind::Exists);
    EXPECT_EQ(errorKind(system.pathInfo(folder + "gone.txt").error), ErrorKind::NotFound);
}

TEST(WindowsPlatform, SystemErrorsSortIntoTheKindsTheEngineActsOn) {
    const struct {
        DWORD code;
        ErrorKind kind;
    } cases[] = {{ERROR_SUCCESS, ErrorKind::None},
                 {ERROR_FILE_NOT_FOUND, ErrorKind::NotFound},
                 {ERROR_PATH_NOT_FOUND, ErrorKind::NotFound},
                 {ERROR_FILE_EXISTS, ErrorKind::Exists},
                 {ERROR_ALREADY_EXISTS, ErrorKind::Exists},
                 {ERROR_DISK_FULL, ErrorKind::LackOfRoom},
                 {ERROR_HANDLE_DISK_FULL, ErrorKind::LackOfRoom},
                 {ERROR_NOT_READY, ErrorKind::DeviceGone},
                 {ERROR_DEV_NOT_EXIST, ErrorKind::DeviceGone},
                 {ERROR_NOT_SUPPORTED, ErrorKind::NotSupported},
                 {ERROR_SHARING_VIOLATION, ErrorKind::Other},
                 {ERROR_WRITE_PROTECT, ErrorKind::ReadOnly},
                 {ERROR_ACCESS_DENIED, ErrorKind::AccessDenied}};
    for (const auto& c : cases) {
        EXPECT_EQ(errorKind(SystemError{static_cast<int>(c.code)}), c.kind) << c.code;
    }
    const std::string text = systemErrorText(SystemError{ERROR_DISK_FULL});
    EXPECT_FALSE(text.empty());
    EXPECT_GE(static_cast<unsigned char>(text.back()), 33);
}

}  // namespace
}  // namespace ferry
