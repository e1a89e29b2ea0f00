#include "tests/testkit/disk_files.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace ferry::testkit {

namespace {
constexpr std::int64_t UnixEpochTicks = 116444736000000000;
}

void writeDiskFile(const std::string& path, const std::string& content) {
    const std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readDiskFile(const std::string& path) {
    // Read whole through the stream buffer: byte-by-byte iterators crawl in a debug build.
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

bool diskFileExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

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
    const auto sinceEpoch = static_cast<std::int64_t>(time.ticks) - UnixEpochTicks;
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
                                               st.st_mtim.tv_nsec / 100 + UnixEpochTicks)};
}

FileTime utcFileTime(int year, int month, int day, int hour, int minute, int second,
                     int milliseconds) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    const std::int64_t seconds = timegm(&tm);
    return FileTime{
        static_cast<std::uint64_t>(seconds * 10000000LL + milliseconds * 10000LL + UnixEpochTicks)};
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
