#include "settings/stored_catalogue.h"

#include <cmath>

#include "settings/settings_key.h"

namespace ferry {

namespace {

constexpr std::int64_t MillisecondsPerDay = 86400000;

// The low 32 bits of a whole number held in a double; 0 for what no 64-bit integer can
// hold, where the conversion would be undefined.
std::uint32_t low32Bits(double whole) {
    constexpr double Limit = 9223372036854775808.0;  // 2^63
    if (!(whole > -Limit && whole < Limit)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(whole));
}

}  // namespace

// Whole days and whole seconds, both cut toward zero. The fraction is first taken to the
// nearest millisecond, the finest step a DateTime is made in: a double holds 18:30:15 of
// a day as 18:30:14.99999..., and cutting that would lose a second at every save.
StoredTime storedTimeOf(DateTime lastSync) {
    if (!std::isfinite(lastSync)) return {};
    double days = std::trunc(lastSync);
    std::int64_t milliseconds =
        std::llround((lastSync - days) * static_cast<double>(MillisecondsPerDay));
    if (milliseconds == MillisecondsPerDay || milliseconds == -MillisecondsPerDay) {
        days += milliseconds > 0 ? 1.0 : -1.0;
        milliseconds = 0;
    }
    return {low32Bits(days), static_cast<std::uint32_t>(milliseconds / 1000)};
}

DateTime lastSyncOf(StoredTime time) {
    // Summed in extended precision, then kept as a double.
    return static_cast<DateTime>(static_cast<long double>(time.days) +
                                 static_cast<long double>(time.seconds) / 24 / 3600);
}

std::vector<StoredValues> readStoredCatalogue(RegistryKey key) {
    std::vector<StoredValues> entries;
    for (std::int32_t n = 1;; ++n) {
        std::optional<StoredValues> entry = readStoredEntry(key, n);
        if (!entry) break;
        entries.push_back(std::move(*entry));
    }
    return entries;
}

std::optional<StoredValues> readStoredEntry(RegistryKey key, std::int32_t number) {
    std::string projectKey = readString(key, numberedName("Project", number));
    if (projectKey.empty()) return std::nullopt;
    return StoredValues{std::move(projectKey),
                        readString(key, numberedName("WorkDir", number)),
                        {readDword(key, numberedName("LastSyncDate", number)),
                         readDword(key, numberedName("LastSyncTime", number))}};
}

std::int32_t storedNumberOfKey(RegistryKey key, std::string_view projectKey) {
    for (std::int32_t n = 1;; ++n) {
        const std::string there = readString(key, numberedName("Project", n));
        if (there.empty()) return 0;
        if (there == projectKey) return n;
    }
}

void writeStoredEntry(RegistryKey key, std::int32_t number, const StoredValues& values) {
    writeString(key, numberedName("Project", number), values.key);
    writeString(key, numberedName("WorkDir", number), values.workDir);
    writeDword(key, numberedName("LastSyncDate", number), values.lastSync.days);
    writeDword(key, numberedName("LastSyncTime", number), values.lastSync.seconds);
}

}  // namespace ferry
