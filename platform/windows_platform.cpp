// The real platform on Windows: the wide-character Win32 calls, paths in the "\\?\" form.

#include <windows.h>

#include <ctime>
#include <utility>

#include "platform/platform.h"
#include "platform/windows_text.h"

namespace ferry {

namespace {

// The failure GetLastError tells of, with the call's failure value.
template <typename T = Nothing>
SystemResult<T> failed(T value = T{}) {
    const DWORD error = GetLastError();
    return {std::move(value), SystemError{static_cast<int>(error != 0 ? error : ERROR_IO_DEVICE)}};
}

SystemResult<> doneOrFailed(BOOL done) {
    return done ? succeeded() : failed();
}

// Kernel handles fit in 32 bits on 64-bit Windows too, so they pass as FileHandle.
HANDLE toHandle(FileHandle handle) {
    return LongToHandle(handle);
}
FileHandle fromHandle(HANDLE handle) {
    return static_cast<FileHandle>(HandleToLong(handle));
}

FileTime toFileTime(const FILETIME& time) {
    return FileTime{(std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime};
}

FILETIME toFiletime(FileTime time) {
    return FILETIME{static_cast<DWORD>(time.ticks), static_cast<DWORD>(time.ticks >> 32)};
}

// ERROR_DIRECTORY_NOT_SUPPORTED, which mingw's headers lack: what opening a folder as a
// file gives, where the system says only "access denied".
constexpr DWORD FolderNotSupported = 336;

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& about) {
    return {about.dwVolumeSerialNumber,
            (std::uint64_t{about.nFileIndexHigh} << 32) | about.nFileIndexLow};
}

// Other processes may read, write, rename and remove what this one has open, as on POSIX.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class WindowsFolderReader final : public FolderReader {
  public:
    WindowsFolderReader(HANDLE find, const WIN32_FIND_DATAW& first, FileIdentity identity)
        : find_(find),
          pending_(first),
          hasPending_(find != INVALID_HANDLE_VALUE),
          identity_(identity) {}
    ~WindowsFolderReader() override {
        if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
    }
    WindowsFolderReader(const WindowsFolderReader&) = delete;
    WindowsFolderReader& operator=(const WindowsFolderReader&) = delete;

    FileIdentity identity() const override { return identity_; }

    bool next(FolderEntry& entry) override {
        if (error_.failed() || !hasPending_) return false;
        entry.name = fromWide(pending_.cFileName);
        entry.kind = (pending_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder
                                                                                 : EntryKind::File;
        hasPending_ = FindNextFileW(find_, &pending_) != 0;
        if (!hasPending_ && GetLastError() != ERROR_NO_MORE_FILES) {
            error_ = failed().error;
        }
        return true;
    }

    SystemError error() const override { return error_; }

  private:
    HANDLE find_;
    WIN32_FIND_DATAW pending_;
    bool hasPending_;
    FileIdentity identity_;
    SystemError error_;
};

// Keeps `handle` when it is a file on a disk; closes it otherwise.
SystemResult<FileHandle> keepDiskFile(HANDLE handle) {
    if (GetFileType(handle) == FILE_TYPE_DISK) return {fromHandle(handle), {}};
    CloseHandle(handle);
    return {InvalidFileHandle, SystemError{ERROR_NOT_SUPPORTED}};
}

SystemResult<FileHandle> openDiskFile(const std::string& path, DWORD access, DWORD disposition) {
    const std::wstring name = widePath(path);
    const HANDLE handle = CreateFileW(name.c_str(), access, ShareAll, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return keepDiskFile(handle);
    const DWORD error = GetLastError();
    // A folder refuses to open as a file with "access denied"; say what it is instead.
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {InvalidFileHandle, SystemError{FolderNotSupported}};
    }
    return {InvalidFileHandle, SystemError{static_cast<int>(error)}};
}

// What the name is, through a handle that reads attributes only (which no other
// program's sharing refuses); `flags` FILE_FLAG_OPEN_REPARSE_POINT tells of a link
// itself instead of what it leads to.
PathInfo infoOf(const std::string& path, DWORD flags) {
    if (path.empty()) return missingPath(SystemError{ERROR_PATH_NOT_FOUND});
    const HANDLE handle =
        CreateFileW(widePath(path).c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return missingPath(failed().error);
    BY_HANDLE_FILE_INFORMATION about{};
    FILE_BASIC_INFO basic{};
    const BOOL known = GetFileInformationByHandle(handle, &about) &&
                       GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic);
    const SystemError error = known ? SystemError{} : failed().error;
    CloseHandle(handle);
    if (!known) return missingPath(error);
    PathInfo info;
    info.exists = true;
    info.isFolder = (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.isLink = (about.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    info.lastWrite = toFileTime(about.ftLastWriteTime);
    info.lastChange = FileTime{static_cast<std::uint64_t>(basic.ChangeTime.QuadPart)};
    info.size = (std::uint64_t{about.nFileSizeHigh} << 32) | about.nFileSizeLow;
    info.identity = identityOf(about);
    return info;
}

class WindowsPlatform final : public Platform {
  public:
    SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                      FileCreation creation) override {
        static constexpr DWORD accesses[] = {GENERIC_READ, GENERIC_WRITE,
                                             GENERIC_READ | GENERIC_WRITE};
        static constexpr DWORD dispositions[] = {OPEN_EXISTING, CREATE_ALWAYS, CREATE_NEW,
                                                 OPEN_ALWAYS, TRUNCATE_EXISTING};
        DWORD wanted = accesses[static_cast<int>(access)];
        // Emptying a file needs the right to write it, whatever the caller goes on to do.
        if (creation == FileCreation::TruncateExisting) wanted |= GENERIC_WRITE;
        return openDiskFile(path, wanted, dispositions[static_cast<int>(creation)]);
    }

    SystemResult<> closeFile(FileHandle handle) override {
        return doneOrFailed(CloseHandle(toHandle(handle)));
    }

    SystemResult<std::int64_t> readFile(FileHandle handle, void* target,
                                        std::size_t count) override {
        auto* bytes = static_cast<char*>(target);
        std::size_t done = 0;
        while (done < count) {
            DWORD got = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
            if (!ReadFile(toHandle(handle), bytes + done, chunk, &got, nullptr)) {
                if (done == 0) return failed<std::int64_t>(-1);
                break;
            }
            if (got == 0) break;
            done += got;
        }
        return {static_cast<std::int64_t>(done), {}};
    }

    SystemResult<std::int64_t> writeFile(FileHandle handle, const void* source,
                                         std::size_t count) override {
        const auto* bytes = static_cast<const char*>(source);
        std::size_t done = 0;
        while (done < count) {
            DWORD put = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
            if (!WriteFile(toHandle(handle), bytes + done, chunk, &put, nullptr)) {
                if (done == 0) return failed<std::int64_t>(-1);
                break;
            }
            if (put == 0) break;
            done += put;
        }
        return {static_cast<std::int64_t>(done), {}};
    }

    SystemResult<std::int64_t> seekFile(FileHandle handle, std::int64_t offset,
                                        int whence) override {
        static constexpr DWORD methods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
        if (whence < 0 || whence > 2) return {-1, SystemError{ERROR_INVALID_PARAMETER}};
        LARGE_INTEGER distance{};
        distance.QuadPart = offset;
        LARGE_INTEGER position{};
        if (!SetFilePointerEx(toHandle(handle), distance, &position, methods[whence])) {
            return failed<std::int64_t>(-1);
        }
        return {position.QuadPart, {}};
    }

    SystemResult<std::int64_t> fileSize(FileHandle handle) override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(toHandle(handle), &size)) return failed<std::int64_t>(-1);
        return {size.QuadPart, {}};
    }

    SystemResult<> truncateFile(FileHandle handle, std::int64_t size) override {
        // Sets the end without moving the file position, as ftruncate does.
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = size;
        return doneOrFailed(
            SetFileInformationByHandle(toHandle(handle), FileEndOfFileInfo, &end, sizeof end));
    }

    SystemResult<FileTime> lastWriteTime(FileHandle handle) override {
        FILETIME written{};
        if (!GetFileTime(toHandle(handle), nullptr, nullptr, &written)) return failed<FileTime>();
        return {toFileTime(written), {}};
    }

    SystemResult<> setLastWriteTime(FileHandle handle, FileTime time) override {
        const FILETIME written = toFiletime(time);
        return doneOrFailed(SetFileTime(toHandle(handle), nullptr, nullptr, &written));
    }

    SystemResult<> flushFile(FileHandle handle) override {
        return doneOrFailed(FlushFileBuffers(toHandle(handle)));
    }

    SystemResult<> startFlushing(FileHandle /*handle*/) override {
        // Windows has no call that starts writing back without waiting for it.
        return failedWith(SystemError{ERROR_NOT_SUPPORTED});
    }

    PathInfo pathInfo(const std::string& path) override { return infoOf(path, 0); }

    PathInfo linkInfo(const std::string& path) override {
        return infoOf(path, FILE_FLAG_OPEN_REPARSE_POINT);
    }

    SystemResult<> makeFolder(const std::string& path) override {
        return doneOrFailed(CreateDirectoryW(widePath(path).c_str(), nullptr));
    }

    SystemResult<> removeFile(const std::string& path) override {
        return doneOrFailed(DeleteFileW(widePath(path).c_str()));
    }

    SystemResult<> renameNoReplace(const std::string& from, const std::string& to) override {
        return doneOrFailed(MoveFileW(widePath(from).c_str(), widePath(to).c_str()));
    }

    SystemResult<> renameReplace(const std::string& from, const std::string& to) override {
        return doneOrFailed(MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    }

    SystemResult<> flushFolder(const std::string& /*path*/) override {
        // Folder entries reach the device with the renames made MOVEFILE_WRITE_THROUGH;
        // there is no flushing a folder by itself.
        return failedWith(SystemError{ERROR_NOT_SUPPORTED});
    }

    SystemResult<> copyPermissions(const std::string& from, const std::string& to) override {
        // The read-only attribute is what Windows has of a file's permission bits.
        const DWORD source = GetFileAttributesW(widePath(from).c_str());
        const std::wstring target = widePath(to);
        const DWORD current = GetFileAttributesW(target.c_str());
        if (source == INVALID_FILE_ATTRIBUTES || current == INVALID_FILE_ATTRIBUTES) {
            return failed();
        }
        const DWORD wanted =
            (current & ~DWORD{FILE_ATTRIBUTE_READONLY}) | (source & FILE_ATTRIBUTE_READONLY);
        if (wanted == current) return succeeded();
        return doneOrFailed(SetFileAttributesW(target.c_str(), wanted));
    }

    // Windows runs a file by its name's ending, not by a permission bit.
    SystemResult<> allowRunning(const std::string& path) override {
        const PathInfo info = pathInfo(path);
        return info.exists ? succeeded() : failedWith(info.error);
    }

    // Folders on Windows match names regardless of letter case.
    SystemResult<std::int64_t> roomToWrite(const std::string& folder) override {
        ULARGE_INTEGER free{};
        if (!GetDiskFreeSpaceExW(widePath(folder).c_str(), &free, nullptr, nullptr))
            return failed(std::int64_t{-1});
        // The volume's root: "C:\" of "C:\Work\", "\\server\share\" of a share.
        wchar_t root[MAX_PATH + 1] = {};
        DWORD flags = 0;
        if (GetVolumePathNameW(widePath(folder).c_str(), root, MAX_PATH) &&
            GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
            (flags & FILE_READ_ONLY_VOLUME) != 0)
            return {-1, SystemError{ERROR_WRITE_PROTECT}};
        return {static_cast<std::int64_t>(free.QuadPart), {}};
    }

    SystemResult<bool> foldsLetterCase(const std::string& folder) override {
        const PathInfo info = pathInfo(folder);
        if (!info.exists) return {false, info.error};
        return {true, {}};
    }

    SystemResult<> keepFolderPrivate(const std::string& path) override {
        // The settings folder lies in the user's profile, whose access list already keeps
        // other users out; a folder made there inherits it.
        const PathInfo info = pathInfo(path);
        return info.exists ? succeeded() : failedWith(info.error);
    }

    SystemResult<std::unique_ptr<FolderReader>> openFolder(const std::string& path) override {
        const PathInfo info = pathInfo(path);
        if (!info.exists) return {nullptr, info.error};
        if (!info.isFolder) return {nullptr, SystemError{ERROR_DIRECTORY}};
        const std::wstring folder = widePath(path);
        WIN32_FIND_DATAW first{};
        std::wstring pattern = folder;
        if (!pattern.ends_with(L'\\')) pattern += L'\\';
        pattern += L'*';
        const HANDLE find =
            FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &first, FindExSearchNameMatch,
                             nullptr, FIND_FIRST_EX_LARGE_FETCH);
        // An empty drive root has not even "." to give.
        if (find == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) {
            return failed<std::unique_ptr<FolderReader>>();
        }
        return {std::make_unique<WindowsFolderReader>(find, first, info.identity), {}};
    }

    FileLock lockFile(const std::string& path, FileCreation creation) override {
        const DWORD disposition =
            creation == FileCreation::OpenAlways ? OPEN_ALWAYS : OPEN_EXISTING;
        const SystemResult<FileHandle> opened = openDiskFile(path, GENERIC_READ, disposition);
        if (!opened) return failedLock(opened.error);
        OVERLAPPED whole{};
        if (!LockFileEx(toHandle(opened.value), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                        0, MAXDWORD, MAXDWORD, &whole)) {
            const DWORD error = GetLastError();
            CloseHandle(toHandle(opened.value));
            return failedLock(SystemError{static_cast<int>(error)}, error == ERROR_LOCK_VIOLATION);
        }
        return FileLock{opened.value, false, {}};
    }

    FileTime currentTime() override {
        FILETIME now{};
        GetSystemTimePreciseAsFileTime(&now);
        return toFileTime(now);
    }

    SystemResult<std::tm> toLocalCalendar(std::int64_t unixSeconds) override {
        const __time64_t seconds = unixSeconds;
        std::tm local{};
        if (const errno_t error = _localtime64_s(&local, &seconds); error != 0) {
            return {local, SystemError{ERROR_INVALID_PARAMETER}};
        }
        return {local, {}};
    }

    SystemResult<std::int64_t> fromLocalCalendar(const std::tm& local) override {
        std::tm copy = local;
        copy.tm_isdst = -1;
        const __time64_t seconds = _mktime64(&copy);
        if (seconds == -1) return {-1, SystemError{ERROR_INVALID_PARAMETER}};
        return {static_cast<std::int64_t>(seconds), {}};
    }
};

}  // namespace

Platform& systemPlatform() {
    static WindowsPlatform real;
    return real;
}

}  // namespace ferry
