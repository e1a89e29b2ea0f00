#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"

namespace ferry {
namespace {

SystemTime calendar(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                    int ms = 0) {
    SystemTime t;
    t.year = static_cast<std::uint16_t>(year);
    t.month = static_cast<std::uint16_t>(month);
    t.day = static_cast<std::uint16_t>(day);
    t.hour = static_cast<std::uint16_t>(hour);
    t.minute = static_cast<std::uint16_t>(minute);
    t.second = static_cast<std::uint16_t>(second);
    t.milliseconds = static_cast<std::uint16_t>(ms);
    return t;
}

// Sets the process time zone for one test (POSIX rules, no zone files needed).
class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old, hadZone_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (hadZone_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::string saved_;
    bool hadZone_ = false;
};

TEST(SystemTimeToDateTime, KnownDays) {
    DateTime v = -1;
    ASSERT_TRUE(systemTimeToDateTime(calendar(1, 1, 1, 12), v));
    EXPECT_DOUBLE_EQ(v, 1.5);
    ASSERT_TRUE(systemTimeToDateTime(calendar(1899, 12, 30, 6), v));
    EXPECT_DOUBLE_EQ(v, 693594.25);
    ASSERT_TRUE(systemTimeToDateTime(calendar(2026, 12, 6), v));
    EXPECT_DOUBLE_EQ(v, 739956.0);
    ASSERT_TRUE(systemTimeToDateTime(calendar(2026, 12, 6, 18, 30, 15), v));
    EXPECT_DOUBLE_EQ(v, 739956.0 + 66615.0 / 86400.0);
}

TEST(SystemTimeToDateTime, RejectsFieldsOutOfRange) {
    const SystemTime bad[] = {calendar(10000, 1, 1),          calendar(2026, 13, 1),
                              calendar(2026, 0, 1),           calendar(2026, 1, 0),
                              calendar(2026, 4, 31),          calendar(1900, 2, 29),
                              calendar(2026, 1, 1, 24),       calendar(2026, 1, 1, 0, 60),
                              calendar(2026, 1, 1, 0, 0, 60), calendar(2026, 1, 1, 0, 0, 0, 1000)};
    for (const SystemTime& t : bad) {
        DateTime v = 5;
        EXPECT_FALSE(systemTimeToDateTime(t, v)) << t.year << "-" << t.month << "-" << t.day;
        EXPECT_EQ(v, 0.0);
    }
    DateTime v = 0;
    EXPECT_TRUE(systemTimeToDateTime(calendar(2000, 2, 29), v)) << "2000 is a leap year";
}

TEST(DateTimeToSystemTime, BelowDayOneFailsAndLeavesOutputAlone) {
    SystemTime t = calendar(1234, 5, 6);
    EXPECT_FALSE(dateTimeToSystemTime(0.5, t));
    EXPECT_FALSE(dateTimeToSystemTime(-3.0, t));
    EXPECT_EQ(t.year, 1234);
}

TEST(DateTimeToSystemTime, RoundTripsEveryDayOfFourCenturies) {
    // Walks 1600-2400 day by day: the 400, 100 and 4 year cycle edges all come by.
    DateTime start = 0;
    ASSERT_TRUE(systemTimeToDateTime(calendar(1600, 1, 1), start));
    for (int day = 0; day < 292194; ++day) {
        SystemTime t;
        ASSERT_TRUE(dateTimeToSystemTime(start + day + 0.75, t));
        DateTime back = 0;
        ASSERT_TRUE(systemTimeToDateTime(t, back)) << day;
        ASSERT_DOUBLE_EQ(back, start + day + 0.75) << t.year << "-" << t.month << "-" << t.day;
    }
}

TEST(DateTimeToSystemTime, FieldsOfKnownValues) {
    SystemTime t;
    ASSERT_TRUE(dateTimeToSystemTime(693594.25, t));
    EXPECT_EQ(t.year, 1899);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 30);
    EXPECT_EQ(t.hour, 6);
    EXPECT_EQ(t.dayOfWeek, 6) << "a Saturday";
    ASSERT_TRUE(dateTimeToSystemTime(739956.0 + 66615.0 / 86400.0, t));
    EXPECT_EQ(t.year, 2026);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 6);
    EXPECT_EQ(t.hour, 18);
    EXPECT_EQ(t.minute, 30);
    EXPECT_EQ(t.second, 15);
    EXPECT_EQ(t.milliseconds, 0);
    ASSERT_TRUE(dateTimeToSystemTime(1.0, t));
    EXPECT_EQ(t.year, 1);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
}

TEST(DateTimeToSystemTime, FractionRoundingToMidnightCarriesToNextDay) {
    SystemTime t;
    ASSERT_TRUE(dateTimeToSystemTime(739956.0 + 0.9999999999, t));
    EXPECT_EQ(t.day, 7);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.milliseconds, 0);
}

TEST(FileTimes, ToLocalDateTimeAndBack) {
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const FileTime winter = testkit::utcFileTime(2026, 12, 6, 17, 30, 15, 250);
    DateTime v = 0;
    ASSERT_TRUE(fileTimeToDateTime(systemPlatform(), winter, v));
    SystemTime t;
    ASSERT_TRUE(dateTimeToSystemTime(v, t));
    EXPECT_EQ(t.hour, 18) << "UTC+1 in winter";
    EXPECT_EQ(t.minute, 30);
    EXPECT_EQ(t.milliseconds, 250);
    FileTime back;
    ASSERT_TRUE(dateTimeToFileTime(systemPlatform(), v, back));
    EXPECT_EQ(back, winter);

    const FileTime summer = testkit::utcFileTime(2026, 7, 1, 10, 0, 0);
    ASSERT_TRUE(fileTimeToDateTime(systemPlatform(), summer, v));
    ASSERT_TRUE(dateTimeToSystemTime(v, t));
    EXPECT_EQ(t.hour, 12) << "UTC+2 in summer";
}

TEST(FileTimes, SubMillisecondTicksAreDropped) {
    ZoneGuard zone("UTC0");
    const FileTime time{testkit::utcFileTime(2020, 2, 29, 23, 59, 59, 999).ticks + 9999};
    DateTime v = 0;
    ASSERT_TRUE(fileTimeToDateTime(systemPlatform(), time, v));
    FileTime back;
    ASSERT_TRUE(dateTimeToFileTime(systemPlatform(), v, back));
    EXPECT_EQ(back.ticks, time.ticks - 9999);
}

TEST(FileTimes, OutOfRangeFails) {
    DateTime v = 3;
    EXPECT_FALSE(fileTimeToDateTime(systemPlatform(), FileTime{0x8000000000000000ULL}, v));
    EXPECT_EQ(v, 0.0);
    FileTime untouched{77};
    EXPECT_FALSE(dateTimeToFileTime(systemPlatform(), 0.0, untouched));
    EXPECT_FALSE(dateTimeToFileTime(systemPlatform(), 1.5, untouched))
        << "year 1 is before file times begin";
    EXPECT_EQ(untouched.ticks, 77u);
}

TEST(Now, FollowsThePlatformClock) {
    ZoneGuard zone("UTC0");
    testkit::FaultPlatform fixed;
    fixed.setClock(testkit::utcFileTime(2026, 12, 6, 6, 0, 0));
    EXPECT_DOUBLE_EQ(now(fixed), 739956.25);
}

TEST(DateTimeToText, ShortDateAndTimeOfTheLocale) {
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(dateTimeToText(739956.0 + 66615.0 / 86400.0), "12/06/26 18:30:15");
    EXPECT_EQ(dateTimeToText(0.0), "01/01/01 00:00:00") << "never-set shows as day one";
}

}  // namespace
}  // namespace ferry
