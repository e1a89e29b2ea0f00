#include "sync/run_lock.h"

#include <string>
#include <utility>

#include "platform/files.h"
#include "support/paths.h"
#include "settings/registry.h"
#include "archive/media_archive.h"

namespace ferry {

namespace {

// Locks the lock file in `folder`; false when another process holds it.
bool lockIn(const std::string& folder, RunLockUse use, std::vector<FileHandle>& handles) {
    FileCreation creation = FileCreation::OpenExisting;
    if (use == RunLockUse::Run) {
        forceFolders(folder);
        creation = FileCreation::OpenAlways;
    }
    const FileLock lock = platform().lockFile(folder + std::string(RunLockFileName), creation);
    if (lock.handle != InvalidFileHandle) handles.push_back(lock.handle);
    return !lock.heldElsewhere;
}

}  // namespace

RunLock::~RunLock() {
    releaseAll();
}

RunLock::RunLock(RunLock&& other) noexcept
    : held_(std::exchange(other.held_, false)), handles_(std::move(other.handles_)) {
    other.handles_.clear();
}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        releaseAll();
        held_ = std::exchange(other.held_, false);
        handles_ = std::move(other.handles_);
        other.handles_.clear();
    }
    return *this;
}

void RunLock::releaseAll() {
    for (const FileHandle handle : handles_) platform().closeFile(handle);
    handles_.clear();
    held_ = false;
}

RunLock acquireRunLock(std::string_view mediumFolder, RunLockUse use) {
    RunLock lock;
    const std::string store = registryStorePath();
    bool free = store.empty() || lockIn(folderOf(store), use, lock.handles_);
    if (free && !mediumFolder.empty() && folderExists(mediumFolder)) {
        const std::string ferry =
            withTrailingSeparator(mediumFolder) + std::string(MediaFolderName);
        free = lockIn(ferry, use, lock.handles_);
    }
    // A run that may not start keeps nothing locked.
    if (!free) lock.releaseAll();
    lock.held_ = free;
    return lock;
}

}  // namespace ferry
