#include "platform/date_time.h"

#include <cmath>
#include <ctime>
#include <vector>

namespace ferry {

namespace {

constexpr std::int64_t MillisecondsPerDay = 86400000;

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int monthLength(int year, int month) {
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : lengths[month - 1];
}

SystemTime fromCalendar(const std::tm& tm, int milliseconds) {
    SystemTime time;
    time.year = static_cast<std::uint16_t>(tm.tm_year + 1900);
    time.month = static_cast<std::uint16_t>(tm.tm_mon + 1);
    time.dayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
    time.day = static_cast<std::uint16_t>(tm.tm_mday);
    time.hour = static_cast<std::uint16_t>(tm.tm_hour);
    time.minute = static_cast<std::uint16_t>(tm.tm_min);
    time.second = static_cast<std::uint16_t>(tm.tm_sec);
    time.milliseconds = static_cast<std::uint16_t>(milliseconds);
    return time;
}

std::tm toCalendar(const SystemTime& time) {
    std::tm tm{};
    tm.tm_year = time.year - 1900;
    tm.tm_mon = time.month - 1;
    tm.tm_mday = time.day;
    tm.tm_wday = time.dayOfWeek;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    tm.tm_isdst = -1;
    return tm;
}

// strftime into a buffer that doubles until the text fits; "" when it never does.
std::string formatCalendar(const char* format, const std::tm& tm) {
    std::vector<char> buffer(100);
    while (buffer.size() <= 6400) {
        const std::size_t length = std::strftime(buffer.data(), buffer.size(), format, &tm);
        if (length > 0) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

}  // namespace

DateTime now(Platform& system) {
    DateTime value = 0;
    fileTimeToDateTime(system, system.currentTime(), value);
    return value;
}

bool systemTimeToDateTime(const SystemTime& t, DateTime& value) {
    value = 0;
    if (t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > monthLength(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59 ||
        t.milliseconds > 999) {
        return false;
    }
    std::int64_t days = t.day;
    for (int month = 1; month < t.month; ++month) days += monthLength(t.year, month);
    const std::int64_t y = t.year == 0 ? 0 : t.year - 1;
    days += 365 * y + y / 4 - y / 100 + y / 400;
    const std::int64_t ms =
        t.hour * 3600000LL + t.minute * 60000LL + t.second * 1000LL + t.milliseconds;
    value = static_cast<double>(days) + static_cast<double>(ms) / MillisecondsPerDay;
    return true;
}

bool dateTimeToSystemTime(DateTime value, SystemTime& time) {
    if (!(value >= 1.0) || value >= 1e9) return false;
    auto days = static_cast<std::int64_t>(value);
    auto ms = static_cast<std::int64_t>(
        std::llround((value - static_cast<double>(days)) * MillisecondsPerDay));
    // A fraction that rounds up to a whole day is the next midnight, not hour 24.
    if (ms >= MillisecondsPerDay) {
        ms -= MillisecondsPerDay;
        ++days;
    }
    const std::int64_t dayNumber = days;
    std::int64_t d = days - 1;
    int year = 1;
    while (d >= 146097) {
        d -= 146097;
        year += 400;
    }
    std::int64_t q = d / 36524;
    d %= 36524;
    if (q == 4) {
        q = 3;
        d += 36524;
    }
    year += static_cast<int>(100 * q);
    q = d / 1461;
    d %= 1461;
    year += static_cast<int>(4 * q);
    q = d / 365;
    d %= 365;
    if (q == 4) {
        q = 3;
        d += 365;
    }
    year += static_cast<int>(q);
    if (year > 0xFFFF) return false;
    int month = 1;
    while (d >= monthLength(year, month)) {
        d -= monthLength(year, month);
        ++month;
    }
    const std::int64_t minutes = ms / 60000;
    const std::int64_t rest = ms % 60000;
    time.year = static_cast<std::uint16_t>(year);
    time.month = static_cast<std::uint16_t>(month);
    time.day = static_cast<std::uint16_t>(d + 1);
    // Day 1, 1 January of year 1, was a Monday.
    time.dayOfWeek = static_cast<std::uint16_t>(dayNumber % 7);
    time.hour = static_cast<std::uint16_t>(minutes / 60);
    time.minute = static_cast<std::uint16_t>(minutes % 60);
    time.second = static_cast<std::uint16_t>(rest / 1000);
    time.milliseconds = static_cast<std::uint16_t>(rest % 1000);
    return true;
}

bool fileTimeToDateTime(Platform& system, FileTime fileTime, DateTime& value) {
    value = 0;
    if (fileTime.ticks >= 0x8000000000000000ULL) return false;
    const UnixTime unix = toUnixTime(fileTime);
    const SystemResult<std::tm> local = system.toLocalCalendar(unix.seconds);
    if (!local) return false;
    return systemTimeToDateTime(
        fromCalendar(local.value, static_cast<int>(unix.ticks / FileTicksPerMillisecond)), value);
}

bool dateTimeToFileTime(Platform& system, DateTime value, FileTime& fileTime) {
    SystemTime time;
    if (!dateTimeToSystemTime(value, time) || time.year < 1601) return false;
    const SystemResult<std::int64_t> utc = system.fromLocalCalendar(toCalendar(time));
    if (!utc) return false;
    const std::int64_t seconds = utc.value;
    // A local time just after 1601 can lie before it in UTC, where file times do not reach.
    if (seconds < -UnixEpochFileTicks / FileTicksPerSecond) return false;
    fileTime = fromUnixTime(seconds, time.milliseconds * FileTicksPerMillisecond);
    return true;
}

std::string dateTimeToText(DateTime value) {
    if (value < 1.0) value += 1.0;
    SystemTime time;
    if (!dateTimeToSystemTime(value, time)) return " ";
    const std::tm tm = toCalendar(time);
    return formatCalendar("%x", tm) + " " + formatCalendar("%X", tm);
}

}  // namespace ferry
