#pragma once

// A platform for tests: passes every call to the real one unless told to make it fail.
// Faults are matched by a part of the path (for handle calls, the path the handle was
// opened with), so "the medium is full" or "this file is locked" can be staged for real,
// also when the tests run as root. The clock can be fixed.

#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/testkit/pass_through_platform.h"

namespace ferry::testkit {

// System errors a test stages, named by what they mean: only the platform's own tests
// spell system codes.
#ifdef _WIN32
// ERROR_ACCESS_DENIED, ERROR_DISK_FULL, ERROR_IO_DEVICE, ERROR_DEV_NOT_EXIST,
// ERROR_FILE_NOT_FOUND, ERROR_WRITE_PROTECT (spelt out: windows.h would come with them).
inline const SystemError AccessDenied{5};
inline const SystemError NoRoom{112};
inline const SystemError DeviceFailure{1117};
inline const SystemError DeviceGone{55};
inline const SystemError NoSuchFile{2};
inline const SystemError ReadOnlyMedium{19};
#else
inline const SystemError AccessDenied{EACCES};
inline const SystemError NoRoom{ENOSPC};
inline const SystemError DeviceFailure{EIO};
inline const SystemError DeviceGone{ENODEV};
inline const SystemError NoSuchFile{ENOENT};
inline const SystemError ReadOnlyMedium{EROFS};
#endif

enum class Call {
    OpenFile,
    CloseFile,
    ReadFile,
    WriteFile,
    SeekFile,
    FileSize,
    TruncateFile,
    LastWriteTime,
    SetLastWriteTime,
    PathInfo,
    MakeFolder,
    RemoveFile,
    Rename,  // renameNoReplace
    RenameReplace,
    FlushFile,
    FlushFolder,
    CopyPermissions,
    OpenFolder,
    LockFile,
    RoomToWrite
};

class FaultPlatform final : public PassThroughPlatform {
  public:
    // Every later `call` on a path containing `pathPart` ("" matches all) fails with `error`.
    void failCall(Call call, std::string pathPart = {}, SystemError error = AccessDenied);
    // Writes to files whose path contains `pathPart` stop after `bytes` bytes in all; the
    // write that crosses the limit comes up short, later ones fail with `error`.
    void failWritesAfter(std::int64_t bytes, std::string pathPart = {}, SystemError error = NoRoom);
    // Readers of folders whose path contains `pathPart` give `entries` entries ("." and
    // ".." count), then fail with `error` as a broken disk would.
    void failFolderReadingAfter(int entries, std::string pathPart = {},
                                SystemError error = DeviceFailure);
    // Every fault removed.
    void heal();
    // currentTime() gives `time` from now on.
    void setClock(FileTime time) { clock_ = time; }

    SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                      FileCreation creation) override;
    SystemResult<> closeFile(FileHandle handle) override;
    SystemResult<std::int64_t> readFile(FileHandle handle, void* target,
                                        std::size_t count) override;
    SystemResult<std::int64_t> writeFile(FileHandle handle, const void* source,
                                         std::size_t count) override;
    SystemResult<std::int64_t> seekFile(FileHandle handle, std::int64_t offset,
                                        int whence) override;
    SystemResult<std::int64_t> fileSize(FileHandle handle) override;
    SystemResult<> truncateFile(FileHandle handle, std::int64_t size) override;
    SystemResult<FileTime> lastWriteTime(FileHandle handle) override;
    SystemResult<> setLastWriteTime(FileHandle handle, FileTime time) override;
    SystemResult<> flushFile(FileHandle handle) override;
    PathInfo pathInfo(const std::string& path) override;
    SystemResult<> makeFolder(const std::string& path) override;
    SystemResult<> removeFile(const std::string& path) override;
    SystemResult<> renameNoReplace(const std::string& from, const std::string& to) override;
    SystemResult<> renameReplace(const std::string& from, const std::string& to) override;
    SystemResult<> flushFolder(const std::string& path) override;
    SystemResult<> copyPermissions(const std::string& from, const std::string& to) override;
    SystemResult<std::int64_t> roomToWrite(const std::string& folder) override;
    SystemResult<std::unique_ptr<FolderReader>> openFolder(const std::string& path) override;
    FileLock lockFile(const std::string& path, FileCreation creation) override;
    FileTime currentTime() override;

  private:
    struct Fault {
        Call call;
        std::string pathPart;
        SystemError error;
    };
    struct ReadingLimit {
        std::string pathPart;
        int entries;
        SystemError error;
    };
    struct WriteLimit {
        std::string pathPart;
        std::int64_t remaining;
        SystemError error;
    };
    // The error of a fault that applies to this call and path; none when none does.
    SystemError faulted(Call call, const std::string& path) const;
    // Both paths of a two-name call.
    SystemError faulted(Call call, const std::string& from, const std::string& to) const;
    std::string pathOf(FileHandle handle) const;

    std::vector<Fault> faults_;
    std::optional<WriteLimit> writeLimit_;
    std::optional<ReadingLimit> readingLimit_;
    std::optional<FileTime> clock_;
    std::map<FileHandle, std::string> openPaths_;
};

}  // namespace ferry::testkit
