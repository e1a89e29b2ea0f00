// The real platform on POSIX systems.

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/platform.h"
#include "platform/posix_rename.h"

namespace ferry {

namespace {

// The failure errno tells of, with the call's failure value.
template <typename T = Nothing>
SystemResult<T> failed(T value = T{}) {
    return {std::move(value), SystemError{errno != 0 ? errno : EIO}};
}

SystemResult<> doneOrFailed(bool done) {
    return done ? succeeded() : failed();
}

FileTime toFileTime(const timespec& ts) {
    return fromUnixTime(ts.tv_sec, ts.tv_nsec / 100);
}

PathInfo infoOf(const struct stat& st) {
    PathInfo info;
    info.exists = true;
    info.isFolder = S_ISDIR(st.st_mode);
    info.isLink = S_ISLNK(st.st_mode);
    info.lastWrite = toFileTime(st.st_mtim);
    info.lastChange = toFileTime(st.st_ctim);
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return info;
}

timespec toTimespec(FileTime time) {
    const UnixTime unix = toUnixTime(time);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(unix.seconds);
    ts.tv_nsec = static_cast<long>(unix.ticks * 100);
    return ts;
}

class PosixFolderReader final : public FolderReader {
  public:
    PosixFolderReader(DIR* dir, FileIdentity identity) : dir_(dir), identity_(identity) {}
    ~PosixFolderReader() override { closedir(dir_); }
    PosixFolderReader(const PosixFolderReader&) = delete;
    PosixFolderReader& operator=(const PosixFolderReader&) = delete;

    FileIdentity identity() const override { return identity_; }

    bool next(FolderEntry& entry) override {
        if (error_.failed()) return false;
        errno = 0;
        const dirent* found = readdir(dir_);
        if (found == nullptr) return errno == 0 ? false : failedWith(errno);
        entry.name.assign(found->d_name);
        return kindOf(*found, entry.kind) || failedWith(errno);
    }

    SystemError error() const override { return error_; }

  private:
    bool failedWith(int error) {
        error_ = SystemError{error};
        return false;
    }

    // The entry's own type where the directory says it; a stat only for links and file
    // systems that do not tell. False when the stat fails for another reason than an
    // entry that is gone or a link that leads nowhere (those are Other).
    bool kindOf(const dirent& found, EntryKind& kind) const {
        kind = EntryKind::Other;
        switch (found.d_type) {
            case DT_REG: kind = EntryKind::File; return true;
            case DT_DIR: kind = EntryKind::Folder; return true;
            case DT_LNK:
            case DT_UNKNOWN: break;
            default: return true;
        }
        struct stat st {};
        if (fstatat(dirfd(dir_), found.d_name, &st, 0) != 0) {
            return errno == ENOENT || errno == ENOTDIR || errno == ELOOP;
        }
        if (S_ISREG(st.st_mode)) kind = EntryKind::File;
        if (S_ISDIR(st.st_mode)) kind = EntryKind::Folder;
        return true;
    }

    DIR* dir_;
    FileIdentity identity_;
    SystemError error_;
};

// Keeps `fd` when it is a regular file, ready for blocking reads and writes; closes it
// otherwise.
SystemResult<FileHandle> keepRegularFile(int fd) {
    struct stat st {};
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (S_ISDIR(st.st_mode)) {
        error = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        error = EOPNOTSUPP;
    } else {
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) error = errno;
    }
    if (error == 0) return {fd, {}};
    ::close(fd);
    errno = error;
    return failed(InvalidFileHandle);
}

// Opens with `flags` (O_NONBLOCK among them, so a pipe's open does not wait) and keeps
// the handle only for a regular file.
SystemResult<FileHandle> openRegularFile(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd >= 0) return keepRegularFile(fd);
    // Only special files give ENXIO: a pipe nobody reads, a socket, a missing device.
    if (errno == ENXIO) errno = EOPNOTSUPP;
    return failed(InvalidFileHandle);
}

class PosixPlatform final : public Platform {
  public:
    SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                      FileCreation creation) override {
        // Without O_NONBLOCK the open of a pipe waits for its other end, forever.
        int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
        switch (access) {
            case FileAccess::Read: flags |= O_RDONLY; break;
            case FileAccess::Write: flags |= O_WRONLY; break;
            case FileAccess::ReadWrite: flags |= O_RDWR; break;
        }
        switch (creation) {
            case FileCreation::OpenExisting: break;
            case FileCreation::CreateAlways: flags |= O_CREAT | O_TRUNC; break;
            case FileCreation::CreateNew: flags |= O_CREAT | O_EXCL | O_NOFOLLOW; break;
            case FileCreation::OpenAlways: flags |= O_CREAT; break;
            case FileCreation::TruncateExisting: flags |= O_TRUNC; break;
        }
        return openRegularFile(path, flags);
    }

    SystemResult<> closeFile(FileHandle handle) override {
        return doneOrFailed(::close(handle) == 0);
    }

    SystemResult<std::int64_t> readFile(FileHandle handle, void* target,
                                        std::size_t count) override {
        auto* bytes = static_cast<char*>(target);
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::read(handle, bytes + done, count - done);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && done == 0) return failed<std::int64_t>(-1);
            if (got <= 0) break;
            done += static_cast<std::size_t>(got);
        }
        return {static_cast<std::int64_t>(done), {}};
    }

    SystemResult<std::int64_t> writeFile(FileHandle handle, const void* source,
                                         std::size_t count) override {
        const auto* bytes = static_cast<const char*>(source);
        std::size_t done = 0;
        while (done < count) {
            const ssize_t put = ::write(handle, bytes + done, count - done);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0 && done == 0) return failed<std::int64_t>(-1);
            if (put <= 0) break;
            done += static_cast<std::size_t>(put);
        }
        return {static_cast<std::int64_t>(done), {}};
    }

    SystemResult<std::int64_t> seekFile(FileHandle handle, std::int64_t offset,
                                        int whence) override {
        static constexpr int whences[] = {SEEK_SET, SEEK_CUR, SEEK_END};
        if (whence < 0 || whence > 2) return {-1, SystemError{EINVAL}};
        const off_t result = ::lseek(handle, static_cast<off_t>(offset), whences[whence]);
        if (result < 0) return failed<std::int64_t>(-1);
        return {static_cast<std::int64_t>(result), {}};
    }

    SystemResult<std::int64_t> fileSize(FileHandle handle) override {
        struct stat st {};
        if (fstat(handle, &st) != 0) return failed<std::int64_t>(-1);
        return {static_cast<std::int64_t>(st.st_size), {}};
    }

    SystemResult<> truncateFile(FileHandle handle, std::int64_t size) override {
        return doneOrFailed(::ftruncate(handle, static_cast<off_t>(size)) == 0);
    }

    SystemResult<FileTime> lastWriteTime(FileHandle handle) override {
        struct stat st {};
        if (fstat(handle, &st) != 0) return failed<FileTime>();
        return {toFileTime(st.st_mtim), {}};
    }

    SystemResult<> setLastWriteTime(FileHandle handle, FileTime time) override {
        timespec times[2]{};
        times[0].tv_nsec = UTIME_OMIT;
        times[1] = toTimespec(time);
        return doneOrFailed(::futimens(handle, times) == 0);
    }

    SystemResult<> flushFile(FileHandle handle) override {
        return doneOrFailed(::fsync(handle) == 0);
    }

    SystemResult<> startFlushing(FileHandle handle) override {
        return doneOrFailed(::sync_file_range(handle, 0, 0, SYNC_FILE_RANGE_WRITE) == 0);
    }

    PathInfo pathInfo(const std::string& path) override {
        struct stat st {};
        if (path.empty()) return missingPath(SystemError{ENOENT});
        if (::stat(path.c_str(), &st) != 0) return missingPath(failed().error);
        return infoOf(st);
    }

    PathInfo linkInfo(const std::string& path) override {
        struct stat st {};
        if (path.empty()) return missingPath(SystemError{ENOENT});
        if (::lstat(path.c_str(), &st) != 0) return missingPath(failed().error);
        return infoOf(st);
    }

    SystemResult<> makeFolder(const std::string& path) override {
        return doneOrFailed(::mkdir(path.c_str(), 0777) == 0);
    }

    SystemResult<> removeFile(const std::string& path) override {
        return doneOrFailed(::unlink(path.c_str()) == 0);
    }

    SystemResult<> renameNoReplace(const std::string& from, const std::string& to) override {
        RenameCalls system;
        return doneOrFailed(renameWithoutReplacing(from, to, system));
    }

    SystemResult<> renameReplace(const std::string& from, const std::string& to) override {
        return doneOrFailed(::rename(from.c_str(), to.c_str()) == 0);
    }

    SystemResult<> flushFolder(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return failed();
        const SystemResult<> flushed = doneOrFailed(::fsync(fd) == 0);
        ::close(fd);
        return flushed;
    }

    SystemResult<> copyPermissions(const std::string& from, const std::string& to) override {
        struct stat st {};
        if (::stat(from.c_str(), &st) != 0) return failed();
        return doneOrFailed(::chmod(to.c_str(), st.st_mode & 07777) == 0);
    }

    SystemResult<> allowRunning(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return failed();
        const mode_t mode = st.st_mode & 07777;
        return doneOrFailed(::chmod(path.c_str(), mode | ((mode & 0444) >> 2)) == 0);
    }

    SystemResult<std::int64_t> roomToWrite(const std::string& folder) override {
        struct statvfs fs {};
        if (::statvfs(folder.c_str(), &fs) != 0) return failed(std::int64_t{-1});
        if ((fs.f_flag & ST_RDONLY) != 0) return {-1, SystemError{EROFS}};
        if (::access(folder.c_str(), W_OK) != 0) return failed(std::int64_t{-1});
        return {static_cast<std::int64_t>(fs.f_bavail * fs.f_frsize), {}};
    }

    SystemResult<bool> foldsLetterCase(const std::string& folder) override {
        struct statfs fs {};
        if (::statfs(folder.c_str(), &fs) != 0) return failed(false);
        constexpr decltype(fs.f_type) FoldingSystems[] = {
            0x4d44,      // FAT (msdos, vfat)
            0x2011BAB0,  // exFAT
            0x7366746e,  // ntfs3
        };
        for (const auto type : FoldingSystems)
            if (fs.f_type == type) return {true, {}};
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return failed(false);
        int flags = 0;
        // A file system without such flags folds nothing.
        const bool marked =
            ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
        ::close(fd);
        return {marked, {}};
    }

    SystemResult<> keepFolderPrivate(const std::string& path) override {
        return doneOrFailed(::chmod(path.c_str(), 0700) == 0);
    }

    SystemResult<std::unique_ptr<FolderReader>> openFolder(const std::string& path) override {
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr) return failed<std::unique_ptr<FolderReader>>();
        struct stat st {};
        if (fstat(dirfd(dir), &st) != 0) {
            auto result = failed<std::unique_ptr<FolderReader>>();
            closedir(dir);
            return result;
        }
        return {std::make_unique<PosixFolderReader>(
                    dir, FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                                      static_cast<std::uint64_t>(st.st_ino)}),
                {}};
    }

    FileLock lockFile(const std::string& path, FileCreation creation) override {
        // Read-only is enough for flock; a pipe or device under the name is refused.
        int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
        if (creation == FileCreation::OpenAlways) flags |= O_CREAT;
        const SystemResult<FileHandle> opened = openRegularFile(path, flags);
        if (!opened) return failedLock(opened.error);
        if (::flock(opened.value, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(opened.value);
            return failedLock(SystemError{error}, error == EWOULDBLOCK);
        }
        return FileLock{opened.value, false, {}};
    }

    FileTime currentTime() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return toFileTime(ts);
    }

    SystemResult<std::tm> toLocalCalendar(std::int64_t unixSeconds) override {
        const auto seconds = static_cast<time_t>(unixSeconds);
        std::tm local{};
        if (localtime_r(&seconds, &local) == nullptr) return failed<std::tm>();
        return {local, {}};
    }

    SystemResult<std::int64_t> fromLocalCalendar(const std::tm& local) override {
        std::tm copy = local;
        copy.tm_isdst = -1;
        errno = 0;
        const time_t seconds = mktime(&copy);
        if (seconds == static_cast<time_t>(-1) && errno != 0) return failed<std::int64_t>();
        return {static_cast<std::int64_t>(seconds), {}};
    }
};

}  // namespace

Platform& systemPlatform() {
    static PosixPlatform real;
    return real;
}

}  // namespace ferry
