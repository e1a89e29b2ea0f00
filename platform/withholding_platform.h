#pragma once

// A platform that lets a whole synchronization run as a preview. Reads go to the platform
// beneath; every change (writing, emptying or creating a file, renaming, deleting, making
// a folder, setting a time, copying permissions, flushing) is withheld and kept in memory,
// and later calls are answered as if it had been made: a file written earlier reads back
// its new bytes, a renamed file is found under its new name only, a deleted one is
// neither found nor listed, a new folder lists its new files. Nothing on disk changes.
//
// A file opened for a change is copied into memory whole on its first change. Handles
// given out lie above every descriptor the platform beneath gives; closing a handle this
// platform did not give (a lock's, one opened before) closes it beneath, and every other
// call on such a handle fails. Folders are never renamed here. The clock and the
// calendar are the platform beneath's. Folder readers must not outlive this object.

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/withheld_tree.h"

namespace ferry {

class WithholdingPlatform final : public Platform {
  public:
    explicit WithholdingPlatform(Platform& base);
    ~WithholdingPlatform() override;
    WithholdingPlatform(const WithholdingPlatform&) = delete;
    WithholdingPlatform& operator=(const WithholdingPlatform&) = delete;

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
    SystemResult<> startFlushing(FileHandle handle) override;
    PathInfo pathInfo(const std::string& path) override;
    PathInfo linkInfo(const std::string& path) override;
    SystemResult<> makeFolder(const std::string& path) override;
    SystemResult<> removeFile(const std::string& path) override;
    SystemResult<> renameNoReplace(const std::string& from, const std::string& to) override;
    SystemResult<> renameReplace(const std::string& from, const std::string& to) override;
    SystemResult<> flushFolder(const std::string& path) override;
    SystemResult<> copyPermissions(const std::string& from, const std::string& to) override;
    SystemResult<> allowRunning(const std::string& path) override;
    SystemResult<bool> foldsLetterCase(const std::string& folder) override;
    SystemResult<std::int64_t> roomToWrite(const std::string& folder) override;
    SystemResult<> keepFolderPrivate(const std::string& path) override;
    SystemResult<std::unique_ptr<FolderReader>> openFolder(const std::string& path) override;
    FileLock lockFile(const std::string& path, FileCreation creation) override;
    FileTime currentTime() override;
    SystemResult<std::tm> toLocalCalendar(std::int64_t unixSeconds) override;
    SystemResult<std::int64_t> fromLocalCalendar(const std::tm& local) override;

  private:
    // A descriptor of the platform beneath, closed when this goes.
    class DiskHandle {
      public:
        DiskHandle() = default;
        DiskHandle(Platform& base, FileHandle handle) : base_(&base), handle_(handle) {}
        DiskHandle(DiskHandle&& other) noexcept
            : base_(other.base_), handle_(std::exchange(other.handle_, InvalidFileHandle)) {}
        DiskHandle& operator=(DiskHandle&& other) noexcept {
            std::swap(base_, other.base_);
            std::swap(handle_, other.handle_);
            return *this;
        }
        ~DiskHandle() {
            if (handle_ != InvalidFileHandle) base_->closeFile(handle_);
        }
        FileHandle get() const { return handle_; }

      private:
        Platform* base_ = nullptr;
        FileHandle handle_ = InvalidFileHandle;
    };

    struct OpenFile {
        std::shared_ptr<WithheldFile> file;
        bool canRead = false;
        bool canWrite = false;
        std::int64_t position = 0;
        DiskHandle disk;  // for reading the file while it is unchanged
    };

    // What is at a path now: the tree's answer, else the disk's.
    struct Found {
        WithheldKind kind = WithheldKind::Gone;
        std::shared_ptr<WithheldFile> file;  // set when the tree knows the file
        SystemError error;                   // why it is gone
        FileTime diskTime;                   // for a path only the disk knows
    };

    Found look(const std::string& key);
    // True when the folder holding `key` was made in memory: the disk has nothing there.
    bool insideNewFolder(const std::string& key) const;
    // None when `key` is an existing folder, else the error making a name in it gives.
    SystemError folderProblem(const std::string& key);
    SystemResult<> moveFile(const std::string& from, const std::string& to, bool replace);
    // Null for a handle this platform did not give.
    OpenFile* openFileOf(FileHandle handle);
    // Fills the file's bytes from the disk unless they are there already.
    SystemResult<> copyIn(WithheldFile& file);
    // The handle's own descriptor on the disk file, opened for reading when first needed.
    SystemResult<FileHandle> diskReader(OpenFile& open);
    void changed(WithheldFile& file);

    Platform& base_;
    WithheldTree tree_;
    std::map<FileHandle, OpenFile> handles_;
    FileHandle nextHandle_;
};

}  // namespace ferry
