#include "sync/record_times.h"

#include "platform/files.h"

namespace ferry {
namespace {

// The steps coarse file systems keep times in, in ticks of 100 nanoseconds.
constexpr std::uint64_t CoarseSteps[] = {100000, 10000000, 20000000};

constexpr double SameSyncDays = 2.0 / 86400.0;

// A record time already on the step is kept exactly, so only one off the step can have
// been cut or rounded.
bool keptAtStep(std::uint64_t disk, std::uint64_t record, std::uint64_t step) {
    if (disk % step != 0 || record % step == 0) return false;
    const std::uint64_t below = record / step * step;
    return disk == below || disk == below + step;
}

}  // namespace

std::int32_t compareDiskWithRecord(FileTime disk, FileTime record) {
    const std::int32_t order = compareFileTimes(disk, record);
    if (order == 0) return 0;
    for (const std::uint64_t step : CoarseSteps) {
        if (keptAtStep(disk.ticks, record.ticks, step)) return 0;
    }
    return order;
}

bool mediumWrittenSince(DateTime mediaSync, DateTime lastSync) {
    return mediaSync - lastSync > SameSyncDays;
}

}  // namespace ferry
