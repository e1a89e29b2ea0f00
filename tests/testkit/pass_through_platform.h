#pragma once

// A platform for tests that passes every call to another one (the real one unless told
// otherwise); a test platform overrides only the calls it changes.

#include "platform/platform.h"

namespace ferry::testkit {

class PassThroughPlatform : public Platform {
  public:
    explicit PassThroughPlatform(Platform& real = systemPlatform()) : real_(real) {}

    SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                      FileCreation creation) override {
        return real_.openFile(path, access, creation);
    }
    SystemResult<> closeFile(FileHandle handle) override { return real_.closeFile(handle); }
    SystemResult<std::int64_t> readFile(FileHandle handle, void* target,
                                        std::size_t count) override {
        return real_.readFile(handle, target, count);
    }
    SystemResult<std::int64_t> writeFile(FileHandle handle, const void* source,
                                         std::size_t count) override {
        return real_.writeFile(handle, source, count);
    }
    SystemResult<std::int64_t> seekFile(FileHandle handle, std::int64_t offset,
                                        int whence) override {
        return real_.seekFile(handle, offset, whence);
    }
    SystemResult<std::int64_t> fileSize(FileHandle handle) override {
        return real_.fileSize(handle);
    }
    SystemResult<> truncateFile(FileHandle handle, std::int64_t size) override {
        return real_.truncateFile(handle, size);
    }
    SystemResult<FileTime> lastWriteTime(FileHandle handle) override {
        return real_.lastWriteTime(handle);
    }
    SystemResult<> setLastWriteTime(FileHandle handle, FileTime time) override {
        return real_.setLastWriteTime(handle, time);
    }
    SystemResult<> flushFile(FileHandle handle) override { return real_.flushFile(handle); }
    SystemResult<> startFlushing(FileHandle handle) override { return real_.startFlushing(handle); }
    PathInfo pathInfo(const std::string& path) override { return real_.pathInfo(path); }
    PathInfo linkInfo(const std::string& path) override { return real_.linkInfo(path); }
    SystemResult<> makeFolder(const std::string& path) override { return real_.makeFolder(path); }
    SystemResult<> removeFile(const std::string& path) override { return real_.removeFile(path); }
    SystemResult<> renameNoReplace(const std::string& from, const std::string& to) override {
        return real_.renameNoReplace(from, to);
    }
    SystemResult<> renameReplace(const std::string& from, const std::string& to) override {
        return real_.renameReplace(from, to);
    }
    SystemResult<> flushFolder(const std::string& path) override { return real_.flushFolder(path); }
    SystemResult<> copyPermissions(const std::string& from, const std::string& to) override {
        return real_.copyPermissions(from, to);
    }
    SystemResult<> allowRunning(const std::string& path) override {
        return real_.allowRunning(path);
    }
    SystemResult<bool> foldsLetterCase(const std::string& folder) override {
        return real_.foldsLetterCase(folder);
    }
    SystemResult<std::int64_t> roomToWrite(const std::string& folder) override {
        return real_.roomToWrite(folder);
    }
    SystemResult<> keepFolderPrivate(const std::string& path) override {
        return real_.keepFolderPrivate(path);
    }
    SystemResult<std::unique_ptr<FolderReader>> openFolder(const std::string& path) override {
        return real_.openFolder(path);
    }
    FileLock lockFile(const std::string& path, FileCreation creation) override {
        return real_.lockFile(path, creation);
    }
    FileTime currentTime() override { return real_.currentTime(); }
    SystemResult<std::tm> toLocalCalendar(std::int64_t unixSeconds) override {
        return real_.toLocalCalendar(unixSeconds);
    }
    SystemResult<std::int64_t> fromLocalCalendar(const std::tm& local) override {
        return real_.fromLocalCalendar(local);
    }

  protected:
    Platform& real_;
};

}  // namespace ferry::testkit
