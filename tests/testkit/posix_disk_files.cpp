#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "tests/testkit/disk_files.h"

// The disk helpers that speak to the system itself: sockets, file times, the snapshot.

namespace ferry::testkit {

bool makeSocketFile(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::copy(path.begin(), path.end(), address.sun_path);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    if (sock < 0) return false;
    const bool bound = bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(sock);
    return bound;
}

void setDiskFileTime(const std::string& path, FileTime time) {
    const auto sinceEpoch = static_cast<std::int64_t>(time.ticks) - UnixEpochFileTicks;
    timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(sinceEpoch / 10000000);
    times[1].tv_nsec = static_cast<long>(sinceEpoch % 10000000 * 100);
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        throw std::runtime_error("cannot set time of " + path);
    }
}

FileTime diskFileTime(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
    return FileTime{static_cast<std::uint64_t>(st.st_mtim.tv_sec * 10000000LL +
                                               st.st_mtim.tv_nsec / 100 + UnixEpochFileTicks)};
}

std::string diskTreeSnapshot(const std::string& root) {
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat st {};
        if (lstat(entry.path().c_str(), &st) != 0) throw std::runtime_error("cannot stat entry");
        std::string line = entry.path().string() + " mode " + std::to_string(st.st_mode) +
                           " time " + std::to_string(st.st_mtim.tv_sec) + "." +
                           std::to_string(st.st_mtim.tv_nsec);
        if (S_ISREG(st.st_mode)) line += " content " + readDiskFile(entry.path().string());
        lines.push_back(std::move(line));
    }
    std::sort(lines.begin(), lines.end());
    std::string snapshot;
    for (const std::string& line : lines) snapshot += line + "\n";
    return snapshot;
}

}  // namespace ferry::testkit
