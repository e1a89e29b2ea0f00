#pragma once

// File times as media records carry them: 100-nanosecond ticks since 1 January 1601, UTC.

#include <cstdint>

namespace ferry {

struct FileTime {
    std::uint64_t ticks = 0;
    friend bool operator==(FileTime, FileTime) = default;
};

inline constexpr std::int64_t FileTicksPerSecond = 10000000;
inline constexpr std::int64_t FileTicksPerMillisecond = 10000;
// 1 January 1970 in file-time ticks.
inline constexpr std::int64_t UnixEpochFileTicks = 116444736000000000;

// Seconds since 1970 and the ticks past that second (always 0 to 9,999,999).
struct UnixTime {
    std::int64_t seconds = 0;
    std::int64_t ticks = 0;
};

// For ticks below 2^63, which is every time a file can carry.
constexpr UnixTime toUnixTime(FileTime time) {
    const std::int64_t sinceEpoch = static_cast<std::int64_t>(time.ticks) - UnixEpochFileTicks;
    UnixTime unix{sinceEpoch / FileTicksPerSecond, sinceEpoch % FileTicksPerSecond};
    if (unix.ticks < 0) {
        unix.ticks += FileTicksPerSecond;
        --unix.seconds;
    }
    return unix;
}

// Times before 1601 become 0.
constexpr FileTime fromUnixTime(std::int64_t seconds, std::int64_t ticks) {
    const std::int64_t fileTicks = seconds * FileTicksPerSecond + ticks + UnixEpochFileTicks;
    return FileTime{static_cast<std::uint64_t>(fileTicks < 0 ? 0 : fileTicks)};
}

}  // namespace ferry
