#include "tests/testkit/fault_platform.h"

#include <algorithm>

namespace ferry::testkit {

void FaultPlatform::failCall(Call call, std::string pathPart, int error) {
    faults_.push_back({call, std::move(pathPart), error});
}

void FaultPlatform::failWritesAfter(std::int64_t bytes, std::string pathPart, int error) {
    writeLimit_ = WriteLimit{std::move(pathPart), bytes, error};
}

void FaultPlatform::heal() {
    faults_.clear();
    writeLimit_.reset();
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
    if (faulted(Call::Rename, from) || faulted(Call::Rename, to)) return false;
    return real_.renameNoReplace(from, to);
}

std::unique_ptr<FolderReader> FaultPlatform::openFolder(const std::string& path) {
    if (faulted(Call::OpenFolder, path)) return nullptr;
    return real_.openFolder(path);
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
