#include "sync/run_lock.h"

#include <string>
#include <utility>

#include "archive/media_archive.h"
#include "platform/files.h"
#include "support/paths.h"

namespace ferry {

namespace {

// Locks the lock file in `folder`; false when another process holds it.
bool lockIn(Platform& system, const std::string& folder, RunLockUse use,
            std::vector<FileHandle>& handles) {
    FileCreation creation = FileCreation::OpenExisting;
    if (use == RunLockUse::Run) {
        (void)forceFolders(system, folder);
        creation = FileCreation::OpenAlways;
    }
    const FileLock lock = system.lockFile(folder + std::string(RunLockFileName), creation);
    if (lock.handle != InvalidFileHandle) handles.push_back(lock.handle);
    return !lock.heldElsewhere;
}

}  // namespace

RunLock::~RunLock() {
    releaseAll();
}

RunLock::RunLock(RunLock&& other) noexcept
    : platform_(other.platform_),
      held_(std::exchange(other.held_, false)),
      handles_(std::move(other.handles_)) {
    other.handles_.clear();
}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        releaseAll();
        platform_ = other.platform_;
        held_ = std::exchange(other.held_, false);
        handles_ = std::move(other.handles_);
        other.handles_.clear();
    }
    return *this;
}

void RunLock::releaseAll() {
    for (const FileHandle handle : handles_) (void)platform_->closeFile(handle);
    handles_.clear();
    held_ = false;
}

RunLock acquireRunLock(const RunContext& context, std::string_view mediumFolder, RunLockUse use) {
    Platform& system = context.platform;
    RunLock lock;
    lock.platform_ = &system;
    bool free =
        context.stateFolder.empty() || lockIn(system, context.stateFolder, use, lock.handles_);
    if (free && !mediumFolder.empty() && folderExists(system, mediumFolder)) {
        const std::string ferry =
            withTrailingSeparator(mediumFolder) + std::string(MediaFolderName);
        free = lockIn(system, ferry, use, lock.handles_);
    }
    // A run that may not start keeps nothing locked.
    if (!free) lock.releaseAll();
    lock.held_ = free;
    return lock;
}

}  // namespace ferry
