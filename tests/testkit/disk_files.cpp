#include "tests/testkit/disk_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ferry::testkit {

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
    std::error_code failure;
    return std::filesystem::symlink_status(path, failure).type() !=
           std::filesystem::file_type::not_found;
}

FileTime utcFileTime(int year, int month, int day, int hour, int minute, int second,
                     int milliseconds) {
    // Days since 1970 of a Gregorian date (the days-from-civil count).
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + dayOfEra - 719468;
    const std::int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return FileTime{static_cast<std::uint64_t>(seconds * 10000000LL + milliseconds * 10000LL +
                                               UnixEpochFileTicks)};
}

}  // namespace ferry::testkit
