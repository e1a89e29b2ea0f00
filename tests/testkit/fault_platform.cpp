#include "tests/testkit/fault_platform.h"

#include <algorithm>

namespace ferry::testkit {

namespace {

// Passes entries on until its allowance is spent, then fails.
class FailingFolderReader final : public FolderReader {
  public:
    FailingFolderReader(std::unique_ptr<FolderReader> real, int entries, int error)
        : real_(std::move(real)), entries_(entries), error_(error) {}

    FolderIdentity identity() const override { return real_->identity(); }
    bool next(FolderEntry& entry) override {
        if (entries_ <= 0) {
            failed_ = true;
            return false;
        }
        --entries_;
        return real_->next(entry);
    }
    int error() const override { return failed_ ? error_ : real_->error(); }

  private:
    std::unique_ptr<FolderReader> real_;
    int entries_;
    int error_;
    bool failed_ = false;
};

}  // namespace

void FaultPlatform::failCall(Call call, std::string pathPart, int error) {
    faults_.push_back({call, std::move(pathPart), error});
}

void FaultPlatform::failWritesAfter(std::int64_t bytes, std::string pathPart, int error) {
    writeLimit_ = WriteLimit{std::move(pathPart), bytes, error};
}

void FaultPlatform::failFolderReadingAfter(int entries, std::string pathPart, int error) {
    readingLimit_ = ReadingLimit{std::move(pathPart), entries, error};
}

void FaultPlatform::heal() {
    faults_.clear();
    writeLimit_.reset();
    readingLimit_.reset();
}

bool FaultPlatform::faulted(Call call, const std::string& path) {
    for (const Fault& fault : faults_) {
        if (fault.call == call && path.find(fault.pathPart) != std::string::npos) {
            error_ = fault.error;
            return true;
        }
    }
    error_.reset();
    return false;
}

bool FaultPlatform::faulted(Call call, const std::string& from, const std::string& to) {
    return faulted(call, from) || faulted(call, to);
}

std::string FaultPlatform::pathOf(FileHandle handle) const {
    const auto found = openPaths_.find(handle);
    return found == openPaths_.end() ? std::string() : found->second;
}

FileHandle FaultPlatform::openFile(const std::string& path, FileAccess access,
                                   FileCreation creation) {
    if (faulted(Call::OpenFile, path)) return InvalidFileHandle;
    const FileHandle handle = real_.openFile(path, access, creation);
    if (handle != InvalidFileHandle) openPaths_[handle] = path;
    return handle;
}

bool FaultPlatform::closeFile(FileHandle handle) {
    const std::string path = pathOf(handle);
    openPaths_.erase(handle);
    // The handle is closed even when the close is reported as failed, as a real failed
    // close still releases the descriptor.
    const bool closed = real_.closeFile(handle);
    return !faulted(Call::CloseFile, path) && closed;
}

std::int64_t FaultPlatform::readFile(FileHandle handle, void* target, std::size_t count) {
    if (faulted(Call::ReadFile, pathOf(handle))) return -1;
    return real_.readFile(handle, target, count);
}

std::int64_t FaultPlatform::writeFile(FileHandle handle, const void* source, std::size_t count) {
    const std::string path = pathOf(handle);
    if (faulted(Call::WriteFile, path)) return -1;
    if (writeLimit_ && path.find(writeLimit_->pathPart) != std::string::npos) {
        if (writeLimit_->remaining <= 0) {
            error_ = writeLimit_->error;
            return -1;
        }
        count = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(count), writeLimit_->remaining));
        const std::int64_t written = real_.writeFile(handle, source, count);
        if (written > 0) writeLimit_->remaining -= written;
        return written;
    }
    return real_.writeFile(handle, source, count);
}

std::int64_t FaultPlatform::seekFile(FileHandle handle, std::int64_t offset, int whence) {
    if (faulted(Call::SeekFile, pathOf(handle))) return -1;
    return real_.seekFile(handle, offset, whence);
}

std::int64_t FaultPlatform::fileSize(FileHandle handle) {
    if (faulted(Call::FileSize, pathOf(handle))) return -1;
    return real_.fileSize(handle);
}

bool FaultPlatform::truncateFile(FileHandle handle, std::int64_t size) {
    if (faulted(Call::TruncateFile, pathOf(handle))) return false;
    return real_.truncateFile(handle, size);
}

bool FaultPlatform::lastWriteTime(FileHandle handle, FileTime& time) {
    if (faulted(Call::LastWriteTime, pathOf(handle))) return false;
    return real_.lastWriteTime(handle, time);
}

bool FaultPlatform::setLastWriteTime(FileHandle handle, FileTime time) {
    if (faulted(Call::SetLastWriteTime, pathOf(handle))) return false;
    return real_.setLastWriteTime(handle, time);
}

bool FaultPlatform::startFlushing(FileHandle handle) {
    return real_.startFlushing(handle);
}

bool FaultPlatform::flushFile(FileHandle handle) {
    if (faulted(Call::FlushFile, pathOf(handle))) return false;
    return real_.flushFile(handle);
}

PathInfo FaultPlatform::pathInfo(const std::string& path) {
    if (faulted(Call::PathInfo, path)) return PathInfo{};
    return real_.pathInfo(path);
}

bool FaultPlatform::makeFolder(const std::string& path) {
    if (faulted(Call::MakeFolder, path)) return false;
    return real_.makeFolder(path);
}

bool FaultPlatform::removeFile(const std::string& path) {
    if (faulted(Call::RemoveFile, path)) return false;
    return real_.removeFile(path);
}

bool FaultPlatform::renameNoReplace(const std::string& from, const std::string& to) {
    if (faulted(Call::Rename, from, to)) return false;
    return real_.renameNoReplace(from, to);
}

bool FaultPlatform::renameReplace(const std::string& from, const std::string& to) {
    if (faulted(Call::RenameReplace, from, to)) return false;
    return real_.renameReplace(from, to);
}

bool FaultPlatform::flushFolder(const std::string& path) {
    if (faulted(Call::FlushFolder, path)) return false;
    return real_.flushFolder(path);
}

bool FaultPlatform::copyPermissions(const std::string& from, const std::string& to) {
    if (faulted(Call::CopyPermissions, from, to)) return false;
    return real_.copyPermissions(from, to);
}

bool FaultPlatform::keepFolderPrivate(const std::string& path) {
    return real_.keepFolderPrivate(path);
}

std::unique_ptr<FolderReader> FaultPlatform::openFolder(const std::string& path) {
    if (faulted(Call::OpenFolder, path)) return nullptr;
    std::unique_ptr<FolderReader> reader = real_.openFolder(path);
    if (reader && readingLimit_ && path.find(readingLimit_->pathPart) != std::string::npos) {
        return std::make_unique<FailingFolderReader>(std::move(reader), readingLimit_->entries,
                                                     readingLimit_->error);
    }
    return reader;
}

FileLock FaultPlatform::lockFile(const std::string& path, FileCreation creation) {
    if (faulted(Call::LockFile, path)) return FileLock{};
    const FileLock lock = real_.lockFile(path, creation);
    if (lock.handle != InvalidFileHandle) openPaths_[lock.handle] = path;
    return lock;
}

FileTime FaultPlatform::currentTime() {
    return clock_ ? *clock_ : real_.currentTime();
}

bool FaultPlatform::toLocalCalendar(std::int64_t unixSeconds, std::tm& local) {
    return real_.toLocalCalendar(unixSeconds, local);
}

bool FaultPlatform::fromLocalCalendar(const std::tm& local, std::int64_t& unixSeconds) {
    return real_.fromLocalCalendar(local, unixSeconds);
}

int FaultPlatform::lastError() {
    return error_ ? *error_ : real_.lastError();
}

}  // namespace ferry::testkit
