#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "tests/testkit/disk_files.h"

// The disk helpers that speak to the system itself, on Windows: file times through the
// file's handle, the snapshot with attributes in place of permission bits.

namespace ferry::testkit {

namespace {

// Opens the file or folder to read or set its times; throws when it cannot.
HANDLE openForTimes(const std::string& path, DWORD access) {
    const HANDLE handle = CreateFileW(std::filesystem::path(path).wstring().c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    return handle;
}

}  // namespace

bool makeSocketFile(const std::string& /*path*/) {
    // Windows file systems hold no socket files.
    return false;
}

void setDiskFileTime(const std::string& path, FileTime time) {
    const HANDLE handle = openForTimes(path, FILE_WRITE_ATTRIBUTES);
    const FILETIME written{static_cast<DWORD>(time.ticks), static_cast<DWORD>(time.ticks >> 32)};
    const BOOL set = SetFileTime(handle, nullptr, nullptr, &written);
    CloseHandle(handle);
    if (!set) throw std::runtime_error("cannot set time of " + path);
}

FileTime diskFileTime(const std::string& path) {
    const HANDLE handle = openForTimes(path, FILE_READ_ATTRIBUTES);
    FILETIME written{};
    const BOOL got = GetFileTime(handle, nullptr, nullptr, &written);
    CloseHandle(handle);
    if (!got) throw std::runtime_error("cannot read time of " + path);
    return FileTime{(std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime};
}

std::string diskTreeSnapshot(const std::string& root) {
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string path = entry.path().string();
        const DWORD attributes = GetFileAttributesW(entry.path().wstring().c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) throw std::runtime_error("cannot stat entry");
        std::string line = path + " attributes " + std::to_string(attributes) + " time " +
                           std::to_string(diskFileTime(path).ticks);
        if (entry.is_regular_file()) line += " content " + readDiskFile(path);
        lines.push_back(std::move(line));
    }
    std::sort(lines.begin(), lines.end());
    std::string snapshot;
    for (const std::string& line : lines) snapshot += line + "\n";
    return snapshot;
}

}  // namespace ferry::testkit
