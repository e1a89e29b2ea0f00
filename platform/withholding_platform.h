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

    FileHandle openFile(const std::string& path, FileAccess access, FileCreation creation) override;
    bool closeFile(FileHandle handle) override;
    std::int64_t readFile(FileHandle handle, void* target, std::size_t count) override;
    std::int64_t writeFile(FileHandle handle, const void* source, std::size_t count) override;
    std::int64_t seekFile(FileHandle handle, std::int64_t offset, int whence) override;
    std::int64_t fileSize(FileHandle handle) override;
    bool truncateFile(FileHandle handle, std::int64_t size) override;
    bool lastWriteTime(FileHandle handle, FileTime& time) override;
    bool setLastWriteTime(FileHandle handle, FileTime time) override;
    bool flushFile(FileHandle handle) override;
    bool startFlushing(FileHandle handle) override;
    PathInfo pathInfo(const std::string& path) override;
    bool makeFolder(const std::string& path) override;
    bool removeFile(const std::string& path) override;
    bool renameNoReplace(const std::string& from, const std::string& to) override;
    bool renameReplace(const std::string& from, const std::string& to) override;
    bool flushFolder(const std::string& path) override;
    bool copyPermissions(const std::string& from, const std::string& to) override;
    bool keepFolderPrivate(const std::string& path) override;
    std::unique_ptr<FolderReader> openFolder(const std::string& path) override;
    FileLock lockFile(const std::string& path, FileCreation creation) override;
    FileTime currentTime() override;
    bool toLocalCalendar(std::int64_t unixSeconds, std::tm& local) override;
    bool fromLocalCalendar(const std::tm& local, std::int64_t& unixSeconds) override;
    int lastError() override;

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
        int error = 0;                       // why it is gone
        FileTime diskTime;                   // for a path only the disk knows
    };

    Found look(const std::string& key);
    // True when the folder holding `key` was made in memory: the disk has nothing there.
    bool insideNewFolder(const std::string& key) const;
    // 0 when `key` is an existing folder, else the error code making a name in it gives.
    int folderProblem(const std::string& key);
    bool moveFile(const std::string& from, const std::string& to, bool replace);
    OpenFile* openFileOf(FileHandle handle);
    // Fills the file's bytes from the disk unless they are there already.
    bool copyIn(WithheldFile& file);
    // The handle's own descriptor on the disk file, opened for reading when first needed.
    FileHandle diskReader(OpenFile& open);
    void changed(WithheldFile& file);

    template <typename T>
    T fail(int error, T result) {
        error_ = error;
        return result;
    }

    Platform& base_;
    WithheldTree tree_;
    std::map<FileHandle, OpenFile> handles_;
    FileHandle nextHandle_;
    int error_ = 0;
};

}  // namespace ferry
