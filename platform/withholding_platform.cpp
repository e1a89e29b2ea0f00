#include "platform/withholding_platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

namespace ferry {

namespace {

// Far above any descriptor number the system hands out, so both kinds can never meet.
constexpr FileHandle FirstWithheldHandle = 0x40000000;

std::shared_ptr<WithheldFile> fileOnDisk(const std::string& key) {
    auto file = std::make_shared<WithheldFile>();
    file->diskPath = key;
    return file;
}

bool isDotName(std::string_view name) {
    return name == "." || name == "..";
}

// Lists a folder as it is now: the disk's entries in the disk's order, less those gone
// and with the kinds they have now, then the entries made since, by name. A new folder
// has no disk entries.
class WithheldFolderReader final : public FolderReader {
  public:
    WithheldFolderReader(std::unique_ptr<FolderReader> disk, FolderIdentity identity,
                         const WithheldTree& tree, std::string key)
        : disk_(std::move(disk)), identity_(identity), tree_(tree), key_(std::move(key)) {
        if (!disk_) {
            // A folder made in memory lists "." and ".." as a disk folder does.
            added_.push_back({".", EntryKind::Folder});
            added_.push_back({"..", EntryKind::Folder});
            collectAdded();
        }
    }

    FolderIdentity identity() const override { return identity_; }
    int error() const override { return error_; }

    bool next(FolderEntry& entry) override {
        while (disk_) {
            if (!disk_->next(entry)) {
                error_ = disk_->error();
                disk_.reset();
                // A folder not read whole ends there: its listing fails anyway.
                if (error_ != 0) return false;
                collectAdded();
                break;
            }
            if (isDotName(entry.name)) return true;
            seen_.insert(entry.name);
            const WithheldNode* node = tree_.find(WithheldTree::childOf(key_, entry.name));
            if (node == nullptr) return true;
            if (node->kind == WithheldKind::Gone) continue;
            entry.kind = node->kind == WithheldKind::Folder ? EntryKind::Folder : EntryKind::File;
            return true;
        }
        if (nextAdded_ >= added_.size()) return false;
        entry = added_[nextAdded_++];
        return true;
    }

  private:
    void collectAdded() {
        for (auto& [name, kind] : tree_.entriesIn(key_)) {
            if (seen_.count(name) != 0) continue;
            added_.push_back(
                {name, kind == WithheldKind::Folder ? EntryKind::Folder : EntryKind::File});
        }
    }

    std::unique_ptr<FolderReader> disk_;
    FolderIdentity identity_;
    const WithheldTree& tree_;
    std::string key_;
    std::set<std::string> seen_;
    std::vector<FolderEntry> added_;
    std::size_t nextAdded_ = 0;
    int error_ = 0;
};

}  // namespace

WithholdingPlatform::WithholdingPlatform(Platform& base)
    : base_(base), nextHandle_(FirstWithheldHandle) {}

WithholdingPlatform::~WithholdingPlatform() = default;

bool WithholdingPlatform::insideNewFolder(const std::string& key) const {
    const WithheldNode* parent = tree_.find(WithheldTree::parentOf(key));
    return parent != nullptr && parent->kind == WithheldKind::Folder;
}

WithholdingPlatform::Found WithholdingPlatform::look(const std::string& key) {
    if (const WithheldNode* node = tree_.find(key)) {
        return Found{node->kind, node->file, node->kind == WithheldKind::Gone ? ENOENT : 0, {}};
    }
    if (insideNewFolder(key)) return Found{WithheldKind::Gone, nullptr, ENOENT, {}};
    const PathInfo info = base_.pathInfo(key);
    if (!info.exists) return Found{WithheldKind::Gone, nullptr, base_.lastError(), {}};
    return Found{info.isFolder ? WithheldKind::Folder : WithheldKind::File, nullptr, 0,
                 info.lastWrite};
}

int WithholdingPlatform::folderProblem(const std::string& key) {
    const Found folder = look(key);
    switch (folder.kind) {
        case WithheldKind::Folder: return 0;
        case WithheldKind::File: return ENOTDIR;
        case WithheldKind::Gone: break;
    }
    return folder.error != 0 ? folder.error : ENOENT;
}

WithholdingPlatform::OpenFile* WithholdingPlatform::openFileOf(FileHandle handle) {
    const auto found = handles_.find(handle);
    if (found == handles_.end()) return fail<OpenFile*>(EBADF, nullptr);
    return &found->second;
}

bool WithholdingPlatform::copyIn(WithheldFile& file) {
    if (file.copied) return true;
    const DiskHandle disk(
        base_, base_.openFile(file.diskPath, FileAccess::Read, FileCreation::OpenExisting));
    if (disk.get() == InvalidFileHandle) return fail(base_.lastError(), false);
    const std::int64_t size = base_.fileSize(disk.get());
    if (size < 0) return fail(base_.lastError(), false);
    std::vector<char> bytes(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::int64_t got =
            base_.readFile(disk.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0) return fail(base_.lastError(), false);
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    file.bytes = std::move(bytes);
    file.copied = true;
    return true;
}

FileHandle WithholdingPlatform::diskReader(OpenFile& open) {
    if (open.disk.get() == InvalidFileHandle) {
        open.disk = DiskHandle(base_, base_.openFile(open.file->diskPath, FileAccess::Read,
                                                     FileCreation::OpenExisting));
        if (open.disk.get() == InvalidFileHandle) error_ = base_.lastError();
    }
    return open.disk.get();
}

void WithholdingPlatform::changed(WithheldFile& file) {
    file.time = base_.currentTime();
}

FileHandle WithholdingPlatform::openFile(const std::string& path, FileAccess access,
                                         FileCreation creation) {
    const std::string key = WithheldTree::keyOf(path);
    OpenFile open;
    open.canRead = access != FileAccess::Write;
    open.canWrite = access != FileAccess::Read;
    if (const WithheldNode* node = tree_.find(key)) {
        if (node->kind == WithheldKind::Folder) return fail(EISDIR, InvalidFileHandle);
        open.file = node->file;
    } else if (!insideNewFolder(key)) {
        // First touch: the disk says whether the file exists and may be opened this way,
        // through a descriptor that neither creates nor empties it.
        DiskHandle disk(base_, base_.openFile(key, access, FileCreation::OpenExisting));
        if (disk.get() != InvalidFileHandle) {
            open.file = fileOnDisk(key);
            tree_.setFile(key, open.file);
            if (open.canRead) open.disk = std::move(disk);
        } else if (!isNotFoundError(base_.lastError())) {
            return fail(base_.lastError(), InvalidFileHandle);
        }
    }

    if (open.file) {
        if (creation == FileCreation::CreateNew) return fail(EEXIST, InvalidFileHandle);
        if (creation == FileCreation::CreateAlways || creation == FileCreation::TruncateExisting) {
            open.file->bytes.clear();
            open.file->copied = true;
            changed(*open.file);
        }
    } else {
        if (creation == FileCreation::OpenExisting || creation == FileCreation::TruncateExisting)
            return fail(ENOENT, InvalidFileHandle);
        if (const int problem = folderProblem(WithheldTree::parentOf(key)))
            return fail(problem, InvalidFileHandle);
        open.file = std::make_shared<WithheldFile>();
        open.file->copied = true;
        changed(*open.file);
        tree_.setFile(key, open.file);
    }
    const FileHandle handle = nextHandle_++;
    handles_.emplace(handle, std::move(open));
    return handle;
}

bool WithholdingPlatform::closeFile(FileHandle handle) {
    // A handle this platform did not give (a lock's, or one opened before it came into
    // use) belongs to the one beneath.
    if (handles_.erase(handle) == 0)
        return base_.closeFile(handle) ? true : fail(base_.lastError(), false);
    return true;
}

std::int64_t WithholdingPlatform::readFile(FileHandle handle, void* target, std::size_t count) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr || !open->canRead) return fail<std::int64_t>(EBADF, -1);
    const WithheldFile& file = *open->file;
    if (file.copied) {
        const auto size = static_cast<std::int64_t>(file.bytes.size());
        const std::int64_t got =
            std::clamp<std::int64_t>(size - open->position, 0, static_cast<std::int64_t>(count));
        if (got > 0)
            std::memcpy(target, file.bytes.data() + open->position, static_cast<std::size_t>(got));
        open->position += got;
        return got;
    }
    const FileHandle disk = diskReader(*open);
    if (disk == InvalidFileHandle) return -1;
    if (base_.seekFile(disk, open->position, 0) < 0)
        return fail<std::int64_t>(base_.lastError(), -1);
    const std::int64_t got = base_.readFile(disk, target, count);
    if (got < 0) return fail<std::int64_t>(base_.lastError(), -1);
    open->position += got;
    return got;
}

std::int64_t WithholdingPlatform::writeFile(FileHandle handle, const void* source,
                                            std::size_t count) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr || !open->canWrite) return fail<std::int64_t>(EBADF, -1);
    WithheldFile& file = *open->file;
    if (!copyIn(file)) return -1;
    const auto end = static_cast<std::size_t>(open->position) + count;
    if (end > file.bytes.size()) file.bytes.resize(end);
    if (count > 0) std::memcpy(file.bytes.data() + open->position, source, count);
    open->position = static_cast<std::int64_t>(end);
    changed(file);
    return static_cast<std::int64_t>(count);
}

std::int64_t WithholdingPlatform::seekFile(FileHandle handle, std::int64_t offset, int whence) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return -1;
    std::int64_t from = 0;
    if (whence == 1) {
        from = open->position;
    } else if (whence == 2) {
        from = fileSize(handle);
        if (from < 0) return -1;
    } else if (whence != 0) {
        return fail<std::int64_t>(EINVAL, -1);
    }
    if (from + offset < 0) return fail<std::int64_t>(EINVAL, -1);
    open->position = from + offset;
    return open->position;
}

std::int64_t WithholdingPlatform::fileSize(FileHandle handle) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return -1;
    if (open->file->copied) return static_cast<std::int64_t>(open->file->bytes.size());
    const FileHandle disk = diskReader(*open);
    if (disk == InvalidFileHandle) return -1;
    const std::int64_t size = base_.fileSize(disk);
    return size < 0 ? fail<std::int64_t>(base_.lastError(), -1) : size;
}

bool WithholdingPlatform::truncateFile(FileHandle handle, std::int64_t size) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return false;
    if (!open->canWrite || size < 0) return fail(EINVAL, false);
    WithheldFile& file = *open->file;
    if (size == 0) {
        file.copied = true;  // nothing of the disk's bytes is kept
    } else if (!copyIn(file)) {
        return false;
    }
    file.bytes.resize(static_cast<std::size_t>(size));
    changed(file);
    return true;
}

bool WithholdingPlatform::lastWriteTime(FileHandle handle, FileTime& time) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return false;
    if (open->file->time) {
        time = *open->file->time;
        return true;
    }
    const FileHandle disk = diskReader(*open);
    if (disk == InvalidFileHandle) return false;
    return base_.lastWriteTime(disk, time) ? true : fail(base_.lastError(), false);
}

bool WithholdingPlatform::setLastWriteTime(FileHandle handle, FileTime time) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return false;
    open->file->time = time;
    return true;
}

bool WithholdingPlatform::flushFile(FileHandle handle) {
    return openFileOf(handle) != nullptr;
}

bool WithholdingPlatform::startFlushing(FileHandle handle) {
    return openFileOf(handle) != nullptr;
}

PathInfo WithholdingPlatform::pathInfo(const std::string& path) {
    if (path.empty()) return fail(ENOENT, PathInfo{});
    const Found found = look(WithheldTree::keyOf(path));
    if (found.kind == WithheldKind::Gone) return fail(found.error, PathInfo{});
    PathInfo info{true, found.kind == WithheldKind::Folder, found.diskTime};
    if (found.file && found.file->time) {
        info.lastWrite = *found.file->time;
    } else if (found.file && !found.file->diskPath.empty()) {
        info.lastWrite = base_.pathInfo(found.file->diskPath).lastWrite;
    }
    return info;
}

bool WithholdingPlatform::makeFolder(const std::string& path) {
    const std::string key = WithheldTree::keyOf(path);
    if (look(key).kind != WithheldKind::Gone) return fail(EEXIST, false);
    if (const int problem = folderProblem(WithheldTree::parentOf(key))) return fail(problem, false);
    tree_.setFolder(key);
    return true;
}

bool WithholdingPlatform::removeFile(const std::string& path) {
    const std::string key = WithheldTree::keyOf(path);
    const Found found = look(key);
    if (found.kind == WithheldKind::Gone) return fail(found.error, false);
    if (found.kind == WithheldKind::Folder) return fail(EISDIR, false);
    tree_.setGone(key);
    return true;
}

bool WithholdingPlatform::moveFile(const std::string& from, const std::string& to, bool replace) {
    const std::string fromKey = WithheldTree::keyOf(from);
    const std::string toKey = WithheldTree::keyOf(to);
    const Found source = look(fromKey);
    if (source.kind == WithheldKind::Gone) return fail(source.error, false);
    // Folders are never renamed by a synchronization; moving a whole subtree in memory
    // is left out.
    if (source.kind == WithheldKind::Folder) return fail(ENOTSUP, false);
    const Found target = look(toKey);
    if (target.kind != WithheldKind::Gone) {
        if (!replace) return fail(EEXIST, false);
        if (target.kind == WithheldKind::Folder) return fail(EISDIR, false);
        if (fromKey == toKey) return true;
    } else if (const int problem = folderProblem(WithheldTree::parentOf(toKey))) {
        return fail(problem, false);
    }
    std::shared_ptr<WithheldFile> file = source.file;
    if (!file) file = fileOnDisk(fromKey);
    tree_.setFile(toKey, std::move(file));
    tree_.setGone(fromKey);
    return true;
}

bool WithholdingPlatform::renameNoReplace(const std::string& from, const std::string& to) {
    return moveFile(from, to, false);
}

bool WithholdingPlatform::renameReplace(const std::string& from, const std::string& to) {
    return moveFile(from, to, true);
}

bool WithholdingPlatform::flushFolder(const std::string& path) {
    const int problem = folderProblem(WithheldTree::keyOf(path));
    return problem == 0 ? true : fail(problem, false);
}

// Permission bits are not kept in memory: a file made here has the bits the real run
// would give it, or copy to it, as far as any later call can tell.
bool WithholdingPlatform::copyPermissions(const std::string& from, const std::string& to) {
    for (const std::string* path : {&from, &to}) {
        const Found found = look(WithheldTree::keyOf(*path));
        if (found.kind == WithheldKind::Gone) return fail(found.error, false);
    }
    return true;
}

bool WithholdingPlatform::keepFolderPrivate(const std::string& path) {
    const int problem = folderProblem(WithheldTree::keyOf(path));
    return problem == 0 ? true : fail(problem, false);
}

std::unique_ptr<FolderReader> WithholdingPlatform::openFolder(const std::string& path) {
    const std::string key = WithheldTree::keyOf(path);
    if (const WithheldNode* node = tree_.find(key)) {
        switch (node->kind) {
            case WithheldKind::Gone: return fail(ENOENT, nullptr);
            case WithheldKind::File: return fail(ENOTDIR, nullptr);
            case WithheldKind::Folder: break;
        }
        return std::make_unique<WithheldFolderReader>(nullptr, node->identity, tree_, key);
    }
    std::unique_ptr<FolderReader> disk = base_.openFolder(key);
    if (!disk) return fail(base_.lastError(), nullptr);
    const FolderIdentity identity = disk->identity();
    return std::make_unique<WithheldFolderReader>(std::move(disk), identity, tree_, key);
}

FileLock WithholdingPlatform::lockFile(const std::string& path, FileCreation /*creation*/) {
    // A lock changes nothing on disk, but making its file would: only a file already there
    // is locked. The handle is the platform beneath's, and closeFile passes it there.
    const FileLock lock = base_.lockFile(path, FileCreation::OpenExisting);
    if (lock.handle == InvalidFileHandle) error_ = base_.lastError();
    return lock;
}

FileTime WithholdingPlatform::currentTime() {
    return base_.currentTime();
}

bool WithholdingPlatform::toLocalCalendar(std::int64_t unixSeconds, std::tm& local) {
    return base_.toLocalCalendar(unixSeconds, local) ? true : fail(base_.lastError(), false);
}

bool WithholdingPlatform::fromLocalCalendar(const std::tm& local, std::int64_t& unixSeconds) {
    return base_.fromLocalCalendar(local, unixSeconds) ? true : fail(base_.lastError(), false);
}

int WithholdingPlatform::lastError() {
    return error_;
}

}  // namespace ferry
