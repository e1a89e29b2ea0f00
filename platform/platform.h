#pragma once

// The one door to the operating system. The engine reaches files, folders, file times
// and the clock only through the Platform it is handed (by the front end, in a run's
// context), so another system can be added with a new implementation, a preview can put
// one in front that keeps every change in memory, and tests can hand it one that fails
// chosen calls ("medium full", "file locked") even when run as root.
//
// Every call that can fail gives the system's error with its result (SystemResult, or an
// `error` member); there is no error state left behind between calls.

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "platform/file_time.h"
#include "platform/system_error.h"

namespace ferry {

using FileHandle = int;
inline constexpr FileHandle InvalidFileHandle = -1;

enum class FileAccess { Read, Write, ReadWrite };
enum class FileCreation {
    OpenExisting,     // fail when missing
    CreateAlways,     // create, or empty an existing file
    CreateNew,        // fail when it exists, even as a link leading nowhere
    OpenAlways,       // create when missing, keep the contents otherwise
    TruncateExisting  // fail when missing, empty it otherwise
};

enum class EntryKind { File, Folder, Other };

// What a folder entry is once links are followed. Other: a device, pipe or socket, or
// a link that leads nowhere; none of those is a file a project can carry.
struct FolderEntry {
    std::string name;
    EntryKind kind = EntryKind::Other;
};

// Identity of a file or folder on its file system (device and inode on POSIX): one
// file reached by two paths (a link, a second mount) has one identity.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t node = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// An open folder being enumerated. Entries come in the file system's own order; "." and
// ".." are passed on like any other name.
class FolderReader {
  public:
    virtual ~FolderReader() = default;
    virtual FileIdentity identity() const = 0;
    // Fills `entry` with the next entry; false at the end or on an error.
    virtual bool next(FolderEntry& entry) = 0;
    // Why next() gave false: none after a clean end. An entry that vanished or a link
    // that leads nowhere is no error: it comes as EntryKind::Other.
    virtual SystemError error() const = 0;
};

// A file locked for this process alone. The lock goes with the handle's closeFile, or
// with the process.
struct FileLock {
    FileHandle handle = InvalidFileHandle;  // InvalidFileHandle when not locked
    bool heldElsewhere = false;             // another process holds the lock
    SystemError error;                      // why it is not locked
};

inline FileLock failedLock(SystemError error, bool heldElsewhere = false) {
    return FileLock{InvalidFileHandle, heldElsewhere, error};
}

struct PathInfo {
    bool exists = false;
    bool isFolder = false;
    bool isLink = false;  // only from linkInfo: the name is a symbolic link
    FileTime lastWrite;
    // When the file's content or its attributes last changed (its time included): no
    // program sets it back, so it tells a rewrite even when the size and write time were
    // made to look as before.
    FileTime lastChange;
    std::uint64_t size = 0;
    FileIdentity identity;
    SystemError error;  // why it does not exist
};

inline PathInfo missingPath(SystemError error) {
    PathInfo info;
    info.error = error;
    return info;
}

class Platform {
  public:
    virtual ~Platform() = default;

    // Files. Only regular files open, and the open never waits (not for a pipe's other
    // end either): a folder fails with the system's "is a directory", a pipe, device or
    // socket as not supported. The handle is InvalidFileHandle on failure.
    virtual SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                              FileCreation creation) = 0;
    virtual SystemResult<> closeFile(FileHandle handle) = 0;
    // Bytes transferred (-1 on failure). A short count is not a failure.
    virtual SystemResult<std::int64_t> readFile(FileHandle handle, void* target,
                                                std::size_t count) = 0;
    virtual SystemResult<std::int64_t> writeFile(FileHandle handle, const void* source,
                                                 std::size_t count) = 0;
    // `whence` is 0 from the beginning, 1 from the current position, 2 from the end. The
    // new position (-1 on failure).
    virtual SystemResult<std::int64_t> seekFile(FileHandle handle, std::int64_t offset,
                                                int whence) = 0;
    virtual SystemResult<std::int64_t> fileSize(FileHandle handle) = 0;
    virtual SystemResult<> truncateFile(FileHandle handle, std::int64_t size) = 0;
    virtual SystemResult<FileTime> lastWriteTime(FileHandle handle) = 0;
    virtual SystemResult<> setLastWriteTime(FileHandle handle, FileTime time) = 0;
    // Brings the file's bytes to the device before it returns.
    virtual SystemResult<> flushFile(FileHandle handle) = 0;
    // Starts bringing the bytes written so far to the device and returns without waiting,
    // so that a later flushFile waits less. Fails when the system cannot; nothing is lost.
    virtual SystemResult<> startFlushing(FileHandle handle) = 0;

    // Names. pathInfo follows links; linkInfo tells of the name itself, so a link is a
    // link (isLink) whether or not it leads anywhere.
    virtual PathInfo pathInfo(const std::string& path) = 0;
    virtual PathInfo linkInfo(const std::string& path) = 0;
    virtual SystemResult<> makeFolder(const std::string& path) = 0;
    virtual SystemResult<> removeFile(const std::string& path) = 0;
    // Fails when `to` exists.
    virtual SystemResult<> renameNoReplace(const std::string& from, const std::string& to) = 0;
    // Replaces `to` when it exists; within one folder `to` names the old or the new file
    // at every moment, never neither.
    virtual SystemResult<> renameReplace(const std::string& from, const std::string& to) = 0;
    // Brings the folder's entries (new names, renames, removals) to the device.
    virtual SystemResult<> flushFolder(const std::string& path) = 0;
    // Gives `to` the permission bits of `from` (links followed).
    virtual SystemResult<> copyPermissions(const std::string& from, const std::string& to) = 0;
    // Lets whoever may read the file run it too: the read bits, which the user's umask
    // chose at its creation, pass to the execute bits.
    virtual SystemResult<> allowRunning(const std::string& path) = 0;
    // Whether names in the folder match regardless of letter case (FAT, exFAT, NTFS, or a
    // folder marked case-insensitive on ext4 or f2fs).
    virtual SystemResult<bool> foldsLetterCase(const std::string& folder) = 0;
    // The bytes this user may still write in the folder's file system. Fails with the
    // system's error when the folder takes no writes: a read-only device, no permission.
    virtual SystemResult<std::int64_t> roomToWrite(const std::string& folder) = 0;
    // Lets only this user reach the folder `path`: nobody else may list it or open what
    // lies in it.
    virtual SystemResult<> keepFolderPrivate(const std::string& path) = 0;
    // Null when the folder cannot be opened.
    virtual SystemResult<std::unique_ptr<FolderReader>> openFolder(const std::string& path) = 0;

    // Opens `path` (OpenExisting or OpenAlways) and takes an exclusive advisory lock on it
    // without waiting. The handle is not passed on to programs this process starts.
    virtual FileLock lockFile(const std::string& path, FileCreation creation) = 0;

    // Clock and time zone.
    virtual FileTime currentTime() = 0;
    // UTC seconds since 1970 to the local calendar, and back (tm_isdst decided by the zone).
    virtual SystemResult<std::tm> toLocalCalendar(std::int64_t unixSeconds) = 0;
    virtual SystemResult<std::int64_t> fromLocalCalendar(const std::tm& local) = 0;
};

// The real platform of this system. The front ends hand it to the engine; test platforms
// pass their calls on to it.
Platform& systemPlatform();

}  // namespace ferry
