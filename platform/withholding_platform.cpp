#include "platform/withholding_platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

namespace ferry {

namespace {

template <typename T = Nothing>
SystemResult<T> fail(int error, T value = T{}) {
    return {std::move(value), SystemError{error}};
}

template <typename T = Nothing>
SystemResult<T> fail(SystemError error, T value = T{}) {
    return {std::move(value), error};
}

template <typename T>
SystemResult<T> done(T value) {
    return {std::move(value), {}};
}

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
    WithheldFolderReader(std::unique_ptr<FolderReader> disk, FileIdentity identity,
                         const WithheldTree& tree, std::string key)
        : disk_(std::move(disk)), identity_(identity), tree_(tree), key_(std::move(key)) {
        if (!disk_) {
            // A folder made in memory lists "." and ".." as a disk folder does.
            added_.push_back({".", EntryKind::Folder});
            added_.push_back({"..", EntryKind::Folder});
            collectAdded();
        }
    }

    FileIdentity identity() const override { return identity_; }
    SystemError error() const override { return error_; }

    bool next(FolderEntry& entry) override {
        while (disk_) {
            if (!disk_->next(entry)) {
                error_ = disk_->error();
                disk_.reset();
                // A folder not read whole ends there: its listing fails anyway.
                if (error_.failed()) return false;
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
    FileIdentity identity_;
    const WithheldTree& tree_;
    std::string key_;
    std::set<std::string> seen_;
    std::vector<FolderEntry> added_;
    std::size_t nextAdded_ = 0;
    SystemError error_;
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
        return Found{
            node->kind, node->file, SystemError{node->kind == WithheldKind::Gone ? ENOENT : 0}, {}};
    }
    if (insideNewFolder(key)) return Found{WithheldKind::Gone, nullptr, SystemError{ENOENT}, {}};
    const PathInfo info = base_.pathInfo(key);
    if (!info.exists) return Found{WithheldKind::Gone, nullptr, info.error, {}};
    return Found{
        info.isFolder ? WithheldKind::Folder : WithheldKind::File, nullptr, {}, info.lastWrite};
}

SystemError WithholdingPlatform::folderProblem(const std::string& key) {
    const Found folder = look(key);
    switch (folder.kind) {
        case WithheldKind::Folder: return {};
        case WithheldKind::File: return SystemError{ENOTDIR};
        case WithheldKind::Gone: break;
    }
    return folder.error.failed() ? folder.error : SystemError{ENOENT};
}

WithholdingPlatform::OpenFile* WithholdingPlatform::openFileOf(FileHandle handle) {
    const auto found = handles_.find(handle);
    return found == handles_.end() ? nullptr : &found->second;
}

SystemResult<> WithholdingPlatform::copyIn(WithheldFile& file) {
    if (file.copied) return succeeded();
    const SystemResult<FileHandle> opened =
        base_.openFile(file.diskPath, FileAccess::Read, FileCreation::OpenExisting);
    if (!opened) return fail(opened.error);
    const DiskHandle disk(base_, opened.value);
    const SystemResult<std::int64_t> size = base_.fileSize(disk.get());
    if (!size) return fail(size.error);
    std::vector<char> bytes(static_cast<std::size_t>(size.value));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const SystemResult<std::int64_t> got =
            base_.readFile(disk.get(), bytes.data() + done, bytes.size() - done);
        if (!got) return fail(got.error);
        if (got.value == 0) break;
        done += static_cast<std::size_t>(got.value);
    }
    bytes.resize(done);
    file.bytes = std::move(bytes);
    file.copied = true;
    return succeeded();
}

SystemResult<FileHandle> WithholdingPlatform::diskReader(OpenFile& open) {
    if (open.disk.get() == InvalidFileHandle) {
        const SystemResult<FileHandle> opened =
            base_.openFile(open.file->diskPath, FileAccess::Read, FileCreation::OpenExisting);
        if (!opened) return opened;
        open.disk = DiskHandle(base_, opened.value);
    }
    return done(open.disk.get());
}

void WithholdingPlatform::changed(WithheldFile& file) {
    file.time = base_.currentTime();
}

SystemResult<FileHandle> WithholdingPlatform::openFile(const std::string& path, FileAccess access,
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
        const SystemResult<FileHandle> opened =
            base_.openFile(key, access, FileCreation::OpenExisting);
        if (opened) {
            DiskHandle disk(base_, opened.value);
            open.file = fileOnDisk(key);
            tree_.setFile(key, open.file);
            if (open.canRead) open.disk = std::move(disk);
        } else if (errorKind(opened.error) != ErrorKind::NotFound) {
            return opened;
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
        if (const SystemError problem = folderProblem(WithheldTree::parentOf(key));
            problem.failed())
            return fail(problem, InvalidFileHandle);
        open.file = std::make_shared<WithheldFile>();
        open.file->copied = true;
        changed(*open.file);
        tree_.setFile(key, open.file);
    }
    const FileHandle handle = nextHandle_++;
    handles_.emplace(handle, std::move(open));
    return done(handle);
}

SystemResult<> WithholdingPlatform::closeFile(FileHandle handle) {
    // A handle this platform did not give (a lock's, or one opened before it came into
    // use) belongs to the one beneath.
    if (handles_.erase(handle) == 0) return base_.closeFile(handle);
    return succeeded();
}

SystemResult<std::int64_t> WithholdingPlatform::readFile(FileHandle handle, void* target,
                                                         std::size_t count) {
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
        return done(got);
    }
    const SystemResult<FileHandle> disk = diskReader(*open);
    if (!disk) return fail<std::int64_t>(disk.error, -1);
    const SystemResult<std::int64_t> sought = base_.seekFile(disk.value, open->position, 0);
    if (!sought) return sought;
    const SystemResult<std::int64_t> got = base_.readFile(disk.value, target, count);
    if (got) open->position += got.value;
    return got;
}

SystemResult<std::int64_t> WithholdingPlatform::writeFile(FileHandle handle, const void* source,
                                                          std::size_t count) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr || !open->canWrite) return fail<std::int64_t>(EBADF, -1);
    WithheldFile& file = *open->file;
    if (const SystemResult<> copied = copyIn(file); !copied)
        return fail<std::int64_t>(copied.error, -1);
    const auto end = static_cast<std::size_t>(open->position) + count;
    if (end > file.bytes.size()) file.bytes.resize(end);
    if (count > 0) std::memcpy(file.bytes.data() + open->position, source, count);
    open->position = static_cast<std::int64_t>(end);
    changed(file);
    return done(static_cast<std::int64_t>(count));
}

SystemResult<std::int64_t> WithholdingPlatform::seekFile(FileHandle handle, std::int64_t offset,
                                                         int whence) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return fail<std::int64_t>(EBADF, -1);
    std::int64_t from = 0;
    if (whence == 1) {
        from = open->position;
    } else if (whence == 2) {
        const SystemResult<std::int64_t> size = fileSize(handle);
        if (!size) return size;
        from = size.value;
    } else if (whence != 0) {
        return fail<std::int64_t>(EINVAL, -1);
    }
    if (from + offset < 0) return fail<std::int64_t>(EINVAL, -1);
    open->position = from + offset;
    return done(open->position);
}

SystemResult<std::int64_t> WithholdingPlatform::fileSize(FileHandle handle) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return fail<std::int64_t>(EBADF, -1);
    if (open->file->copied) return done(static_cast<std::int64_t>(open->file->bytes.size()));
    const SystemResult<FileHandle> disk = diskReader(*open);
    if (!disk) return fail<std::int64_t>(disk.error, -1);
    return base_.fileSize(disk.value);
}

SystemResult<> WithholdingPlatform::truncateFile(FileHandle handle, std::int64_t size) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return fail(EBADF);
    if (!open->canWrite || size < 0) return fail(EINVAL);
    WithheldFile& file = *open->file;
    if (size == 0) {
        file.copied = true;  // nothing of the disk's bytes is kept
    } else if (const SystemResult<> copied = copyIn(file); !copied) {
        return copied;
    }
    file.bytes.resize(static_cast<std::size_t>(size));
    changed(file);
    return succeeded();
}

SystemResult<FileTime> WithholdingPlatform::lastWriteTime(FileHandle handle) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return fail<FileTime>(EBADF);
    if (open->file->time) return done(*open->file->time);
    const SystemResult<FileHandle> disk = diskReader(*open);
    if (!disk) return fail<FileTime>(disk.error);
    return base_.lastWriteTime(disk.value);
}

SystemResult<> WithholdingPlatform::setLastWriteTime(FileHandle handle, FileTime time) {
    OpenFile* open = openFileOf(handle);
    if (open == nullptr) return fail(EBADF);
    open->file->time = time;
    return succeeded();
}

SystemResult<> WithholdingPlatform::flushFile(FileHandle handle) {
    return openFileOf(handle) != nullptr ? succeeded() : fail(EBADF);
}

SystemResult<> WithholdingPlatform::startFlushing(FileHandle handle) {
    return flushFile(handle);
}

PathInfo WithholdingPlatform::pathInfo(const std::string& path) {
    if (path.empty()) return missingPath(SystemError{ENOENT});
    const std::string key = WithheldTree::keyOf(path);
    // What this layer never touched is as the disk has it, size and identity included.
    if (tree_.find(key) == nullptr && !insideNewFolder(key)) return base_.pathInfo(key);
    const Found found = look(key);
    if (found.kind == WithheldKind::Gone) return missingPath(found.error);
    PathInfo info;
    info.exists = true;
    info.isFolder = found.kind == WithheldKind::Folder;
    info.lastWrite = found.diskTime;
    if (found.file) {
        const WithheldFile& file = *found.file;
        const PathInfo disk = file.diskPath.empty() ? PathInfo{} : base_.pathInfo(file.diskPath);
        info.lastWrite = file.time ? *file.time : disk.lastWrite;
        info.size = file.copied || file.diskPath.empty() ? file.bytes.size() : disk.size;
    }
    return info;
}

// What this layer made or removed is no link; the rest is as the disk has it.
PathInfo WithholdingPlatform::linkInfo(const std::string& path) {
    const std::string key = WithheldTree::keyOf(path);
    if (path.empty() || tree_.find(key) != nullptr || insideNewFolder(key)) return pathInfo(path);
    return base_.linkInfo(path);
}

SystemResult<> WithholdingPlatform::makeFolder(const std::string& path) {
    const std::string key = WithheldTree::keyOf(path);
    if (look(key).kind != WithheldKind::Gone) return fail(EEXIST);
    if (const SystemError problem = folderProblem(WithheldTree::parentOf(key)); problem.failed())
        return fail(problem);
    tree_.setFolder(key);
    return succeeded();
}

SystemResult<> WithholdingPlatform::removeFile(const std::string& path) {
    const std::string key = WithheldTree::keyOf(path);
    const Found found = look(key);
    if (found.kind == WithheldKind::Gone) return fail(found.error);
    if (found.kind == WithheldKind::Folder) return fail(EISDIR);
    tree_.setGone(key);
    return succeeded();
}

SystemResult<> WithholdingPlatform::moveFile(const std::string& from, const std::string& to,
                                             bool replace) {
    const std::string fromKey = WithheldTree::keyOf(from);
    const std::string toKey = WithheldTree::keyOf(to);
    const Found source = look(fromKey);
    if (source.kind == WithheldKind::Gone) return fail(source.error);
    // Folders are never renamed by a synchronization; moving a whole subtree in memory
    // is left out.
    if (source.kind == WithheldKind::Folder) return fail(ENOTSUP);
    const Found target = look(toKey);
    if (target.kind != WithheldKind::Gone) {
        if (!replace) return fail(EEXIST);
        if (target.kind == WithheldKind::Folder) return fail(EISDIR);
        if (fromKey == toKey) return succeeded();
    } else if (const SystemError problem = folderProblem(WithheldTree::parentOf(toKey));
               problem.failed()) {
        return fail(problem);
    }
    std::shared_ptr<WithheldFile> file = source.file;
    if (!file) file = fileOnDisk(fromKey);
    tree_.setFile(toKey, std::move(file));
    tree_.setGone(fromKey);
    return succeeded();
}

SystemResult<> WithholdingPlatform::renameNoReplace(const std::string& from,
                                                    const std::string& to) {
    return moveFile(from, to, false);
}

SystemResult<> WithholdingPlatform::renameReplace(const std::string& from, const std::string& to) {
    return moveFile(from, to, true);
}

SystemResult<> WithholdingPlatform::flushFolder(const std::string& path) {
    return failedWith(folderProblem(WithheldTree::keyOf(path)));
}

// Permission bits are not kept in memory: a file made here has the bits the real run
// would give it, or copy to it, as far as any later call can tell.
SystemResult<> WithholdingPlatform::copyPermissions(const std::string& from,
                                                    const std::string& to) {
    for (const std::string* path : {&from, &to}) {
        const Found found = look(WithheldTree::keyOf(*path));
        if (found.kind == WithheldKind::Gone) return fail(found.error);
    }
    return succeeded();
}

SystemResult<> WithholdingPlatform::allowRunning(const std::string& path) {
    const Found found = look(WithheldTree::keyOf(path));
    if (found.kind == WithheldKind::Gone) return fail(found.error);
    return succeeded();
}

// The disk's answer; a folder made only in memory is not there to ask about.
SystemResult<bool> WithholdingPlatform::foldsLetterCase(const std::string& folder) {
    return base_.foldsLetterCase(folder);
}

// The disk's room: what a real run would find there.
SystemResult<std::int64_t> WithholdingPlatform::roomToWrite(const std::string& folder) {
    return base_.roomToWrite(folder);
}

SystemResult<> WithholdingPlatform::keepFolderPrivate(const std::string& path) {
    return failedWith(folderProblem(WithheldTree::keyOf(path)));
}

SystemResult<std::unique_ptr<FolderReader>> WithholdingPlatform::openFolder(
    const std::string& path) {
    using Reader = std::unique_ptr<FolderReader>;
    const std::string key = WithheldTree::keyOf(path);
    if (const WithheldNode* node = tree_.find(key)) {
        switch (node->kind) {
            case WithheldKind::Gone: return fail<Reader>(ENOENT);
            case WithheldKind::File: return fail<Reader>(ENOTDIR);
            case WithheldKind::Folder: break;
        }
        return done<Reader>(
            std::make_unique<WithheldFolderReader>(nullptr, node->identity, tree_, key));
    }
    SystemResult<Reader> disk = base_.openFolder(key);
    if (!disk) return disk;
    const FileIdentity identity = disk.value->identity();
    return done<Reader>(
        std::make_unique<WithheldFolderReader>(std::move(disk.value), identity, tree_, key));
}

FileLock WithholdingPlatform::lockFile(const std::string& path, FileCreation /*creation*/) {
    // A lock changes nothing on disk, but making its file would: only a file already there
    // is locked. The handle is the platform beneath's, and closeFile passes it there.
    return base_.lockFile(path, FileCreation::OpenExisting);
}

FileTime WithholdingPlatform::currentTime() {
    return base_.currentTime();
}

SystemResult<std::tm> WithholdingPlatform::toLocalCalendar(std::int64_t unixSeconds) {
    return base_.toLocalCalendar(unixSeconds);
}

SystemResult<std::int64_t> WithholdingPlatform::fromLocalCalendar(const std::tm& local) {
    return base_.fromLocalCalendar(local);
}

}  // namespace ferry
