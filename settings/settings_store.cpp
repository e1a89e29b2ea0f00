#include "settings/settings_store.h"

#include <cmath>

#include "settings/settings_key.h"

namespace ferry {

namespace {

constexpr std::int64_t MillisecondsPerDay = 86400000;

// A time of last synchronization as it is stored.
struct StoredTime {
    std::uint32_t days = 0;
    std::uint32_t seconds = 0;
};

// The low 32 bits of a whole number held in a double; 0 for what no 64-bit integer can
// hold, where the conversion would be undefined.
std::uint32_t low32Bits(double whole) {
    constexpr double Limit = 9223372036854775808.0;  // 2^63
    if (!(whole > -Limit && whole < Limit)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(whole));
}

// Whole days and whole seconds, both cut toward zero. The fraction is first taken to the
// nearest millisecond, the finest step a DateTime is made in: a double holds 18:30:15 of
// a day as 18:30:14.99999..., and cutting that would lose a second at every save.
StoredTime splitLastSync(DateTime lastSync) {
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

DateTime joinLastSync(std::uint32_t days, std::uint32_t seconds) {
    // Summed in extended precision, then kept as a double.
    return static_cast<DateTime>(static_cast<long double>(days) +
                                 static_cast<long double>(seconds) / 24 / 3600);
}

}  // namespace

LoadedSettings loadSettings() {
    LoadedSettings settings;
    const ScopedKey key = openSettingsForRead();
    const std::uint32_t kind = readDword(key.get(), "Kind");
    settings.kindIndex = kind == KindRemovable || kind == KindDirectory
                             ? static_cast<std::int32_t>(kind)
                             : NoKindSelected;
    settings.removableFolder = readString(key.get(), "Removable");
    settings.directoryFolder = readString(key.get(), "Directory");
    if (kind == KindDirectory) settings.mediumText = settings.directoryFolder;
    for (std::int32_t n = 1;; ++n) {
        const std::string projectKey = readString(key.get(), numberedName("Project", n));
        if (projectKey.empty()) break;
        ProjectRecord& record = settings.catalogue.add(projectKey);
        record.workDir = readString(key.get(), numberedName("WorkDir", n));
        record.lastSync = joinLastSync(readDword(key.get(), numberedName("LastSyncDate", n)),
                                       readDword(key.get(), numberedName("LastSyncTime", n)));
    }
    return settings;
}

void saveMediumSettings(std::int32_t kindIndex, std::string_view mediumFolder) {
    const ScopedKey key = openSettingsForWrite();
    writeDword(key.get(), "Kind", static_cast<std::uint32_t>(kindIndex));
    writeString(key.get(), kindIndex == KindRemovable ? "Removable" : "Directory", mediumFolder);
}

void saveProjects(const Catalogue& catalogue, const ProjectRecord* onlyRecord) {
    const ScopedKey key = openSettingsForWrite();
    for (std::int32_t i = 0; i < catalogue.count(); ++i) {
        const ProjectRecord& record = *catalogue.record(i);
        if (onlyRecord != nullptr && &record != onlyRecord) continue;
        const std::int32_t n = i + 1;
        const StoredTime time = splitLastSync(record.lastSync);
        writeString(key.get(), numberedName("Project", n), catalogue.key(i));
        writeString(key.get(), numberedName("WorkDir", n), record.workDir);
        writeDword(key.get(), numberedName("LastSyncDate", n), time.days);
        writeDword(key.get(), numberedName("LastSyncTime", n), time.seconds);
    }
    if (onlyRecord == nullptr) {
        writeString(key.get(), numberedName("Project", catalogue.count() + 1), "");
    }
}

}  // namespace ferry
