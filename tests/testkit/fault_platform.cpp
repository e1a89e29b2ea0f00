#include "tests/testkit/fault_platform.h"

#include <algorithm>

namespace ferry::testkit {

namespace {

// Passes entries on until its allowance is spent, then fails.
class FailingFolderReader final : public FolderReader {
  public:
    FailingFolderReader(std::unique_ptr<FolderReader> real, int entries, SystemError error)
        : real_(std::move(real)), entries_(entries), error_(error) {}

    FileIdentity identity() const override { return real_->identity(); }
    bool next(FolderEntry& entry) override {
        if (entries_ <= 0) {
            failed_ = true;
            return false;
        }
        --entries_;
        return real_->next(entry);
    }
    SystemError error() const override { return failed_ ? error_ : real_->error(); }

  private:
    std::unique_ptr<FolderReader> real_;
    int entries_;
    SystemError error_;
    bool failed_ = false;
};

}  // namespace

void FaultPlatform::failCall(Call call, std::string pathPart, SystemError error) {
    faults_.push_back({call, std::move(pathPart), error});
}

void FaultPlatform::failWritesAfter(std::int64_t bytes, std::string pathPart, SystemError error) {
    writeLimit_ = WriteLimit{std::move(pathPart), bytes, error};
}

void FaultPlatform::failFolderReadingAfter(int entries, std::string pathPart, SystemError error) {
    readingLimit_ = ReadingLimit{std::move(pathPart), entries, error};
}

void FaultPlatform::heal() {
    faults_.clear();
    writeLimit_.reset();
    readingLimit_.reset();
}

SystemError FaultPlatform::faulted(Call call, const std::string& path) const {
    for (const Fault& fault : faults_) {
        if (fault.call == call && path.find(fault.pathPart) != std::string::npos) {
            return fault.error;
        }
    }
    return {};
}

SystemError FaultPlatform::faulted(Call call, const std::string& from,
                                   const std::string& to) const {
    const SystemError error = faulted(call, from);
    return error.failed() ? error : faulted(call, to);
}

std::string FaultPlatform::pathOf(FileHandle handle) const {
    const auto found = openPaths_.find(handle);
    return found == openPaths_.end() ? std::string() : found->second;
}

SystemResult<FileHandle> FaultPlatform::openFile(const std::string& path, FileAccess access,
                                                 FileCreation creation) {
    if (const SystemError error = faulted(Call::OpenFile, path); error.failed())
        return {InvalidFileHandle, error};
    const SystemResult<FileHandle> opened = real_.openFile(path, access, creation);
    if (opened) openPaths_[opened.value] = path;
    return opened;
}

SystemResult<> FaultPlatform::closeFile(FileHandle handle) {
    const std::string path = pathOf(handle);
    openPaths_.erase(handle);
    // The handle is closed even when the close is reported as failed, as a real failed
    // close still releases the descriptor.
    const SystemResult<> closed = real_.closeFile(handle);
    if (const SystemError error = faulted(Call::CloseFile, path); error.failed())
        return failedWith(error);
    return closed;
}

SystemResult<std::int64_t> FaultPlatform::readFile(FileHandle handle, void* target,
                                                   std::size_t count) {
    if (const SystemError error = faulted(Call::ReadFile, pathOf(handle)); error.failed())
        return {-1, error};
    return real_.readFile(handle, target, count);
}

SystemResult<std::int64_t> FaultPlatform::writeFile(FileHandle handle, const void* source,
                                                    std::size_t count) {
    const std::string path = pathOf(handle);
    if (const SystemError error = faulted(Call::WriteFile, path); error.failed())
        return {-1, error};
    if (writeLimit_ && path.find(writeLimit_->pathPart) != std::string::npos) {
        if (writeLimit_->remaining <= 0) return {-1, writeLimit_->error};
        count = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(count), writeLimit_->remaining));
        const SystemResult<std::int64_t> written = real_.writeFile(handle, source, count);
        if (written.value > 0) writeLimit_->remaining -= written.value;
        return written;
    }
    return real_.writeFile(handle, source, count);
}

SystemResult<std::int64_t> FaultPlatform::seekFile(FileHandle handle, std::int64_t offset,
                                                   int whence) {
    if (const SystemError error = faulted(Call::SeekFile, pathOf(handle)); error.failed())
        return {-1, error};
    return real_.seekFile(handle, offset, whence);
}

SystemResult<std::int64_t> FaultPlatform::fileSize(FileHandle handle) {
    if (const SystemError error = faulted(Call::FileSize, pathOf(handle)); error.failed())
        return {-1, error};
    return real_.fileSize(handle);
}

SystemResult<> FaultPlatform::truncateFile(FileHandle handle, std::int64_t size) {
    if (const SystemError error = faulted(Call::TruncateFile, pathOf(handle)); error.failed())
        return failedWith(error);
    return real_.truncateFile(handle, size);
}

SystemResult<FileTime> FaultPlatform::lastWriteTime(FileHandle handle) {
    if (const SystemError error = faulted(Call::LastWriteTime, pathOf(handle)); error.failed())
        return {{}, error};
    return real_.lastWriteTime(handle);
}

SystemResult<> FaultPlatform::setLastWriteTime(FileHandle handle, FileTime time) {
    if (const SystemError error = faulted(Call::SetLastWriteTime, pathOf(handle)); error.failed())
        return failedWith(error);
    return real_.setLastWriteTime(handle, time);
}

SystemResult<> FaultPlatform::flushFile(FileHandle handle) {
    if (const SystemError error = faulted(Call::FlushFile, pathOf(handle)); error.failed())
        return failedWith(error);
    return real_.flushFile(handle);
}

PathInfo FaultPlatform::pathInfo(const std::string& path) {
    if (const SystemError error = faulted(Call::PathInfo, path); error.failed())
        return missingPath(error);
    return real_.pathInfo(path);
}

SystemResult<> FaultPlatform::makeFolder(const std::string& path) {
    if (const SystemError error = faulted(Call::MakeFolder, path); error.failed())
        return failedWith(error);
    return real_.makeFolder(path);
}

SystemResult<> FaultPlatform::removeFile(const std::string& path) {
    if (const SystemError error = faulted(Call::RemoveFile, path); error.failed())
        return failedWith(error);
    return real_.removeFile(path);
}

SystemResult<> FaultPlatform::renameNoReplace(const std::string& from, const std::string& to) {
    if (const SystemError error = faulted(Call::Rename, from, to); error.failed())
        return failedWith(error);
    return real_.renameNoReplace(from, to);
}

SystemResult<> FaultPlatform::renameReplace(const std::string& from, const std::string& to) {
    if (const SystemError error = faulted(Call::RenameReplace, from, to); error.failed())
        return failedWith(error);
    return real_.renameReplace(from, to);
}

SystemResult<> FaultPlatform::flushFolder(const std::string& path) {
    if (const SystemError error = faulted(Call::FlushFolder, path); error.failed())
        return failedWith(error);
    return real_.flushFolder(path);
}

SystemResult<> FaultPlatform::copyPermissions(const std::string& from, const std::string& to) {
    if (const SystemError error = faulted(Call::CopyPermissions, from, to); error.failed())
        return failedWith(error);
    return real_.copyPermissions(from, to);
}

SystemResult<std::int64_t> FaultPlatform::roomToWrite(const std::string& folder) {
    if (const SystemError error = faulted(Call::RoomToWrite, folder); error.failed())
        return {-1, error};
    return real_.roomToWrite(folder);
}

SystemResult<std::unique_ptr<FolderReader>> FaultPlatform::openFolder(const std::string& path) {
    if (const SystemError error = faulted(Call::OpenFolder, path); error.failed())
        return {nullptr, error};
    SystemResult<std::unique_ptr<FolderReader>> reader = real_.openFolder(path);
    if (reader && readingLimit_ && path.find(readingLimit_->pathPart) != std::string::npos) {
        reader.value = std::make_unique<FailingFolderReader>(
            std::move(reader.value), readingLimit_->entries, readingLimit_->error);
    }
    return reader;
}

FileLock FaultPlatform::lockFile(const std::string& path, FileCreation creation) {
    if (const SystemError error = faulted(Call::LockFile, path); error.failed())
        return failedLock(error);
    const FileLock lock = real_.lockFile(path, creation);
    if (lock.handle != InvalidFileHandle) openPaths_[lock.handle] = path;
    return lock;
}

FileTime FaultPlatform::currentTime() {
    return clock_ ? *clock_ : real_.currentTime();
}

}  // namespace ferry::testkit
